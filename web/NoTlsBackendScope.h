// CNoTlsBackendScope: while it lives, Qt finds no TLS backend plugin. The web
// interface serves plain HTTP only, yet Qt HTTP Server's construction builds
// an SSL configuration, and that loads the TLS backend and with it OpenSSL
// (about 4 MiB of a node's 19 MiB). Made around that construction on the GUI
// thread; Qt's warning that no backend was found is kept quiet meanwhile.
#pragma once

#include <QLoggingCategory>
#include <QStringList>

class CNoTlsBackendScope {
public:
    CNoTlsBackendScope();
    ~CNoTlsBackendScope();
    CNoTlsBackendScope(const CNoTlsBackendScope&) = delete;
    CNoTlsBackendScope& operator=(const CNoTlsBackendScope&) = delete;

private:
    QStringList m_libraryPaths;
    QLoggingCategory::CategoryFilter m_previousFilter = nullptr;
};
