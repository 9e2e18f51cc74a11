// CCommandLine: the options both executables take (--ini, --address, --log,
// --connect). Parsed once on the GUI thread before the node starts.
#pragma once

#include <string>
#include <vector>

struct CCommandLine {
    std::string iniPath; // empty: the executable's path with the extension "ini"
    std::string address;
    bool log = false;
    std::vector<std::string> connect;
    std::string web;                   // --web ADDR:PORT; empty: the front end's default
    std::vector<std::string> webHosts; // --web-host NAME: further names the page is reached by
    std::string error;                 // not empty when the arguments could not be read

    static CCommandLine Parse(const std::vector<std::string>& arguments);
    static const char* Usage();
};
