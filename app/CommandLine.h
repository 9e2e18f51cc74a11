// CCommandLine: the options both executables take (--ini, --address, --log,
// --connect, --help, --version). Parsed once on the GUI thread before the
// node starts. An option is one row of the table in CommandLine.cpp.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CCommandLine {
    std::string iniPath; // empty: the executable's path with the extension "ini"
    std::string address;
    bool log = false;
    std::vector<std::string> connect;
    std::string web;                   // --web ADDR:PORT or "off"; empty: the front end's default
    std::vector<std::string> webHosts; // --web-host NAME: further names the page is reached by
    bool help = false;                 // --help: print the usage, exit 0
    bool version = false;              // --version: print the version, exit 0
    std::string error;                 // not empty when the arguments could not be read

    // --web off: no web interface, whatever the front end's default.
    bool WebOff() const { return web == "off"; }

    static CCommandLine Parse(const std::vector<std::string>& arguments);
    // The usage of program ("pelmar", "pelmard"): synopsis and one line an option.
    static std::string Usage(std::string_view program);
    // The version of the build, "0.1.2".
    static const char* Version();
};
