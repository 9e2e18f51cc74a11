// IStoreReporter: how the store tells the user about a failed file or
// directory. Called on whichever thread runs the store operation (the GUI
// thread or the fetch worker); implementations must be safe for both.
#pragma once

#include <string_view>

class IStoreReporter {
public:
    virtual ~IStoreReporter() = default;
    // textUtf8 is one of the store's fixed messages.
    virtual void ReportStoreFailure(std::string_view textUtf8) = 0;
};
