// CWebAccess: the token file and the per-request checks.
#include "web/WebAccess.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kTokenBytes = 24;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool IsTokenText(std::string_view text) {
    return text.size() >= 32 && text.size() <= 128 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// The host part of "host", "host:port" or "[v6]:port".
std::string_view HostPart(std::string_view hostAndPort) {
    if (!hostAndPort.empty() && hostAndPort.front() == '[') {
        const auto end = hostAndPort.find(']');
        return end == std::string_view::npos ? hostAndPort : hostAndPort.substr(0, end + 1);
    }
    const auto colon = hostAndPort.rfind(':');
    return colon == std::string_view::npos ? hostAndPort : hostAndPort.substr(0, colon);
}

} // namespace

std::string CWebAccess::LoadOrCreateToken(const std::string& path, std::string& error) {
    // An existing token is kept; its file is made private again if someone
    // opened it up.
    const int existing = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (existing >= 0) {
        struct stat info {};
        if (::fstat(existing, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(existing);
            error = path + " is not a regular file";
            return {};
        }
        char buffer[256];
        const ssize_t length = ::read(existing, buffer, sizeof buffer);
        ::fchmod(existing, S_IRUSR | S_IWUSR);
        ::close(existing);
        const std::string_view text =
            Trim(std::string_view(buffer, length > 0 ? static_cast<std::size_t>(length) : 0));
        if (IsTokenText(text))
            return std::string(text);
        ::unlink(path.c_str()); // unreadable or damaged: a new one replaces it
    }

    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (std::size_t i = 0; i < kTokenBytes; ++i) {
        const auto byte = QRandomGenerator::system()->generate() & 0xff;
        token += kHex[byte >> 4];
        token += kHex[byte & 0x0f];
    }
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            S_IRUSR | S_IWUSR);
    if (file < 0) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return {};
    }
    const std::string line = token + "\n";
    const bool written =
        ::write(file, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(file);
    if (!written) {
        error = "cannot write " + path;
        ::unlink(path.c_str());
        return {};
    }
    return token;
}

CWebAccess::CWebAccess(std::string token, std::vector<std::string> names)
    : m_token(std::move(token)) {
    for (const std::string& name : names)
        m_names.push_back(Lower(name));
}

bool CWebAccess::IsOwnName(std::string_view hostAndPort) const {
    // A name with a port matches only that port; one without takes any (a
    // reverse proxy may listen on another).
    const std::string whole = Lower(Trim(hostAndPort));
    const std::string host = std::string(HostPart(whole));
    return !host.empty() &&
           std::any_of(m_names.begin(), m_names.end(), [&](const std::string& name) {
               return name == whole || (name == host && HostPart(name) == name);
           });
}

bool CWebAccess::IsOwnSite(std::string_view host, std::string_view origin,
                           std::string_view fetchSite) const {
    if (!IsOwnName(host))
        return false;
    fetchSite = Trim(fetchSite);
    if (!fetchSite.empty() && fetchSite != "same-origin" && fetchSite != "none")
        return false;
    origin = Trim(origin);
    if (origin.empty())
        return true; // not a browser's cross-origin request
    for (std::string_view scheme : {"http://", "https://"})
        if (origin.substr(0, scheme.size()) == scheme)
            return IsOwnName(origin.substr(scheme.size()));
    return false; // "null" and every other scheme
}

bool CWebAccess::IsToken(std::string_view candidate) const {
    // Compared in constant time, so the answer's timing tells nothing.
    if (m_token.empty() || candidate.size() != m_token.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < m_token.size(); ++i)
        difference |= static_cast<unsigned char>(m_token[i] ^ candidate[i]);
    return difference == 0;
}

bool CWebAccess::HasToken(std::string_view authorization) const {
    authorization = Trim(authorization);
    constexpr std::string_view kBearer = "Bearer ";
    return authorization.size() > kBearer.size() &&
           Lower(authorization.substr(0, kBearer.size())) == "bearer " &&
           IsToken(Trim(authorization.substr(kBearer.size())));
}

CWebAccess::Verdict CWebAccess::Check(std::string_view host, std::string_view origin,
                                      std::string_view fetchSite, std::string_view authorization,
                                      bool needsToken) const {
    if (!IsOwnSite(host, origin, fetchSite))
        return Verdict::Forbidden;
    if (needsToken && !HasToken(authorization))
        return Verdict::Unauthorized;
    return Verdict::Allowed;
}
