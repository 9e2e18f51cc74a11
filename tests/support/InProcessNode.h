// InProcessNode: a whole node (CPelmarDoc with a scripted user interface) in
// the test's own process, with its data in a temporary directory and its
// listener on its own 127.0.0.x address.
#pragma once

#include "app/PelmarDoc.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

class InProcessNode {
public:
    // moreSettings: further lines of the settings file.
    InProcessNode(const std::string& address, int port, const std::string& cacheMode = "Disable",
                  bool logging = true, const std::string& moreSettings = "") {
        TempDir::WriteFile(dir / "pelmar.ini", "[Network]\nPort=" + std::to_string(port) +
                                                   "\n[Servent]\nCacheMode=" + cacheMode + "\n" +
                                                   moreSettings);
        CPelmarDoc::Options options;
        options.iniPath = dir / "pelmar.ini";
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = address;
        options.logging = logging;
        doc = std::make_unique<CPelmarDoc>(ui, options);
    }
    ~InProcessNode() { doc.reset(); }

    bool Start() { return doc->Start(); }
    std::string Log() const { return TempDir::ReadFile(dir / "pelmar.log"); }
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
    std::string ThreadDir() const { return doc->GetThreadDir(); }

    TempDir dir;
    ScriptedUi ui;
    std::unique_ptr<CPelmarDoc> doc;
};
