// The demo's sample threads: a few conversations in the shipped categories,
// written in UTF-8 here and turned into the node's CP932 bytes before they
// are posted. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CSampleResponse {
    std::string name;
    std::string mail;
    std::string body;
    std::uint32_t minutesAfter; // after the opening post
};

struct CSampleThread {
    std::string category;
    std::string title;
    std::string name;
    std::string body;
    std::uint32_t hoursAgo; // when the opening post was written
    std::vector<CSampleResponse> responses;
};

// Every sample, in a fixed order (texts in UTF-8).
const std::vector<CSampleThread>& SampleThreads();
// The thread a running poster announces once it has joined (texts in UTF-8).
const CSampleThread& LiveSampleThread();

// UTF-8 to CP932 bytes; nothing when a character has no CP932 code.
std::optional<std::string> ToCp932(std::string_view utf8);
