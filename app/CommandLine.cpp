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
        } else if ((option == "--web" || option == "--web-host") && hasValue) {
            if (option == "--web")
                line.web = arguments[++i];
            else
                line.webHosts.push_back(arguments[++i]);
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
    const auto colon = line.web.rfind(':');
    if (!line.web.empty() &&
        (colon == std::string::npos ||
         inet_pton(AF_INET, line.web.substr(0, colon).c_str(), &parsed) != 1 ||
         line.web.find_first_not_of("0123456789", colon + 1) != std::string::npos ||
         line.web.size() - colon - 1 > 5 || line.web.size() == colon + 1 ||
         std::stoul(line.web.substr(colon + 1)) > 65535))
        line.error = "--web takes an IPv4 address and a port, ADDR:PORT: " + line.web;
    return line;
}

const char* CCommandLine::Usage() {
    return "usage: [--ini FILE] [--address ADDR] [--log] [--connect ENTRY]... [--web ADDR:PORT] "
           "[--web-host NAME]...";
}
