// CWebAccess: who may use the web interface. The token kept in "webtoken",
// and the checks every request passes before anything is done: the Host and
// Origin headers must name this interface (so that another site cannot reach
// it through a browser, by a cross-site request or by rebinding a name to
// this address), and an API call must carry the token. GUI thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CWebAccess {
public:
    enum class Verdict { Allowed, Forbidden, Unauthorized };

    static constexpr std::string_view kTokenFile = "webtoken";

    // Reads the token from path, or makes a new one there (readable by its
    // owner alone). Empty, with error set, when neither works; anything but a
    // regular file there is left as it is.
    static std::string LoadOrCreateToken(const std::string& path, std::string& error);

    // names: the names the interface is reached by: "ADDR:PORT" and, for a
    // loopback address, "localhost:PORT" (that port only), and the
    // --web-host names (any port unless the name gives one).
    CWebAccess(std::string token, std::vector<std::string> names);

    const std::string& Token() const { return m_token; }

    // The Host header (and Origin and Sec-Fetch-Site, when present) name this
    // interface. A browser's request counts as its own only when it says
    // "same-origin" or "none": another port of the same host is another site.
    bool IsOwnSite(std::string_view host, std::string_view origin,
                   std::string_view fetchSite) const;
    // The token, from "Authorization: Bearer". Never from a cookie: a browser
    // sends a host's cookies to every port of it.
    bool HasToken(std::string_view authorization) const;
    bool IsToken(std::string_view candidate) const;

    Verdict Check(std::string_view host, std::string_view origin, std::string_view fetchSite,
                  std::string_view authorization, bool needsToken) const;

private:
    bool IsOwnName(std::string_view hostAndPort) const;

    std::string m_token;
    std::vector<std::string> m_names; // lower case
};
