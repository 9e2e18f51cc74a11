// CCommandLine: reading the executables' options from one table.
#include "app/CommandLine.h"

#include <algorithm>
#include <arpa/inet.h>

#ifndef PELMAR_VERSION
#define PELMAR_VERSION "unknown"
#endif

namespace {

struct SOption {
    const char* name;
    const char* value; // the value's name, nullptr for a switch
    const char* help;
    void (*apply)(CCommandLine& line, const std::string& value);
};

constexpr SOption kOptions[] = {
    {"--ini", "FILE", "the settings file (default: the program's path with the extension ini)",
     [](CCommandLine& line, const std::string& value) { line.iniPath = value; }},
    {"--address", "ADDR", "listen on, connect from and be known as this IPv4 address",
     [](CCommandLine& line, const std::string& value) { line.address = value; }},
    {"--log", nullptr, "write the event log \"pelmar.log\"",
     [](CCommandLine& line, const std::string&) { line.log = true; }},
    {"--connect", "ENTRY",
     "connect after start-up: host, host:port or a reflector URL (repeatable)",
     [](CCommandLine& line, const std::string& value) { line.connect.push_back(value); }},
    {"--web", "ADDR:PORT",
     "serve the web interface there, or \"off\": not at all (pelmard: 127.0.0.1:6341 or its "
     "loopback --address)",
     [](CCommandLine& line, const std::string& value) { line.web = value; }},
    {"--web-host", "NAME", "a further host name the web interface answers to (repeatable)",
     [](CCommandLine& line, const std::string& value) { line.webHosts.push_back(value); }},
    {"--help", nullptr, "print this text and exit",
     [](CCommandLine& line, const std::string&) { line.help = true; }},
    {"--version", nullptr, "print the version and exit",
     [](CCommandLine& line, const std::string&) { line.version = true; }},
};

} // namespace

CCommandLine CCommandLine::Parse(const std::vector<std::string>& arguments) {
    CCommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const SOption* found = nullptr;
        for (const SOption& option : kOptions)
            if (arguments[i] == option.name)
                found = &option;
        if (!found || (found->value && i + 1 >= arguments.size())) {
            line.error = "unknown or incomplete option: " + arguments[i];
            return line;
        }
        found->apply(line, found->value ? arguments[++i] : std::string());
    }
    in_addr parsed{};
    if (!line.address.empty() && inet_pton(AF_INET, line.address.c_str(), &parsed) != 1)
        line.error = "--address takes an IPv4 address: " + line.address;
    const auto colon = line.web.rfind(':');
    if (!line.web.empty() && !line.WebOff() &&
        (colon == std::string::npos ||
         inet_pton(AF_INET, line.web.substr(0, colon).c_str(), &parsed) != 1 ||
         line.web.find_first_not_of("0123456789", colon + 1) != std::string::npos ||
         line.web.size() - colon - 1 > 5 || line.web.size() == colon + 1 ||
         std::stoul(line.web.substr(colon + 1)) > 65535))
        line.error = "--web takes an IPv4 address and a port, ADDR:PORT: " + line.web;
    return line;
}

std::string CCommandLine::Usage(std::string_view program) {
    std::string text = "usage: " + std::string(program);
    for (const SOption& option : kOptions) {
        const std::string name = option.name;
        if (name == "--help" || name == "--version")
            continue;
        text += option.value ? " [" + name + " " + option.value + "]" : " [" + name + "]";
        if (name == "--connect" || name == "--web-host")
            text += "...";
    }
    text += "\n       " + std::string(program) + " --help | --version\n";
    for (const SOption& option : kOptions) {
        std::string left = std::string("  ") + option.name;
        if (option.value)
            left += std::string(" ") + option.value;
        left.resize(std::max<std::size_t>(left.size() + 2, 20), ' ');
        text += left + option.help + "\n";
    }
    return text;
}

const char* CCommandLine::Version() {
    return PELMAR_VERSION;
}
