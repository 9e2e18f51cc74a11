// WebFixture: a node in the test's process with its web interface on
// 127.0.0.171 (an ephemeral port), its store in a temporary directory laid
// out by the program's own code, and a client that carries the token.
#pragma once

#include "app/PelmarDoc.h"
#include "app/UiFanOut.h"
#include "base/BinaryId.h"
#include "store/ResRecord.h"
#include "store/ThreadIndex.h"
#include "store/ThreadRecord.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "web/WebClient.h"
#include "web/WebInterface.h"

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

class WebFixture : public ::testing::Test {
protected:
    static constexpr const char* kAddress = "127.0.0.171";
    static inline const int kOverlayPort = 16300 + static_cast<int>(::getpid() % 90);

    void SetUp() override {
        // "ニュース" and a child "雑談" in Shift_JIS.
        TempDir::WriteFile(dir / "category.dat", "\x83\x6a\x83\x85\x81\x5b\x83\x58\r\n"
                                                 "\t\x8e\x47\x92\x6b\r\n");
        // A port of this run's own, so a run just ended never stands in the way.
        TempDir::WriteFile(dir / "pelmar.ini",
                           "[Network]\nPort=" + std::to_string(kOverlayPort) + "\n");
        StartNode();
    }
    void TearDown() override { StopNode(); }

    void StartNode(std::vector<std::string> hosts = {}) {
        CPelmarDoc::Options options;
        options.iniPath = dir / "pelmar.ini";
        options.applicationDir = dir.Path();
        options.dataDir = dir.Path();
        options.bindAddress = kAddress;
        doc = std::make_unique<CPelmarDoc>(fanOut, options);
        ASSERT_TRUE(doc->Start()) << (ui.messages.empty() ? "" : ui.messages.back());
        doc->SetCurrentCategory(kNews);
        CWebInterface::Options webOptions;
        webOptions.address = kAddress;
        webOptions.port = 0;
        webOptions.hosts = std::move(hosts);
        webOptions.limits = limits;
        web = std::make_unique<CWebInterface>(*doc, webOptions);
        std::string error;
        ASSERT_TRUE(web->Start(error)) << error;
        fanOut.AddView(web.get());
        client = std::make_unique<WebClient>(kAddress, web->Port(), web->Token());
    }
    void StopNode() {
        if (web)
            fanOut.RemoveView(web.get());
        web.reset();
        doc.reset();
    }

    // A thread as a peer's would be stored: texts raw, as they came.
    std::string StoreThread(const std::string& title, std::uint32_t time,
                            const std::string& category = kNews, const std::string& body = "b") {
        const CBinaryId id = CBinaryId::FromText(NextId());
        CThreadRecord thread(id, title, category, "nanashi", "", body, CBinaryId(), CBinaryId(),
                             time, time);
        thread.SetResCount(1);
        thread.SetHeld(1);
        EXPECT_TRUE(thread.Create(doc->GetThreadDir(), nullptr));
        return id.GetText();
    }
    std::string StoreResponse(const std::string& threadId, const std::string& body,
                              std::uint32_t time) {
        const CBinaryId id = CBinaryId::FromText(NextId());
        CResRecord res(CBinaryId::FromText(threadId), id, CBinaryId(), "", "name", "", body,
                       CBinaryId(), CBinaryId(), time);
        EXPECT_TRUE(res.Create(doc->GetThreadDir(), nullptr));
        return id.GetText();
    }
    static std::string NextId() {
        static int serial = 0;
        char text[33];
        std::snprintf(text, sizeof text, "%032x", ++serial);
        return text;
    }

    static inline const std::string kNews = "\x83\x6a\x83\x85\x81\x5b\x83\x58";
    TempDir dir;
    CWebListener::Limits limits; // as the node has them unless a test says otherwise
    ScriptedUi ui;
    CUiFanOut fanOut{ui};
    std::unique_ptr<CPelmarDoc> doc;
    std::unique_ptr<CWebInterface> web;
    std::unique_ptr<WebClient> client;
};
