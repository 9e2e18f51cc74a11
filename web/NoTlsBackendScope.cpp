// CNoTlsBackendScope: Qt looks for TLS backends in the "tls" folder of each
// library path, once, when something first asks for one; a plugin loaded
// stays loaded. Plugins found before (the desktop's platform and image
// plugins) are kept: taking a path away never unloads what it gave.
#include "web/NoTlsBackendScope.h"

#include <QCoreApplication>

#include <cstring>

namespace {
QLoggingCategory::CategoryFilter g_previousFilter = nullptr;

void QuietAboutTls(QLoggingCategory* category) {
    if (g_previousFilter)
        g_previousFilter(category);
    if (std::strcmp(category->categoryName(), "qt.network.ssl") == 0)
        category->setEnabled(QtWarningMsg, false);
}
} // namespace

CNoTlsBackendScope::CNoTlsBackendScope() : m_libraryPaths(QCoreApplication::libraryPaths()) {
    QCoreApplication::setLibraryPaths({});
    m_previousFilter = QLoggingCategory::installFilter(QuietAboutTls);
    g_previousFilter = m_previousFilter;
}

CNoTlsBackendScope::~CNoTlsBackendScope() {
    QLoggingCategory::installFilter(m_previousFilter);
    g_previousFilter = nullptr;
    QCoreApplication::setLibraryPaths(m_libraryPaths);
}
