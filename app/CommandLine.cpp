// CCommandLine: reading the executables' options.
#include "app/CommandLine.h"

#include <arpa/inet.h>

CCommandLine CCommandLine::Parse(const std::vector<std::string>& arguments) {
    CCommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (option == "--log") {
            line.log = true;
        } else if ((option == "--ini" || option == "--address" || option == "--connect") &&
                   hasValue) {
            const std::string& value = arguments[++i];
            if (option == "--ini")
                line.iniPath = value;
            else if (option == "--connect")
                line.connect.push_back(value);
            else
                line.address = value;
        } else {
            line.error = "unknown or incomplete option: " + option;
            return line;
        }
    }
    in_addr parsed{};
    if (!line.address.empty() && inet_pton(AF_INET, line.address.c_str(), &parsed) != 1)
        line.error = "--address takes an IPv4 address: " + line.address;
    return line;
}

const char* CCommandLine::Usage() {
    return "usage: [--ini FILE] [--address ADDR] [--log] [--connect ENTRY]...";
}
