# Precompiled headers: the Qt, GoogleTest and standard headers most files
# include, parsed once per target instead of once per file.
#   pelmar_precompile(TARGET [QT] [WIDGETS] [GTEST])
# -DPELMAR_PCH=OFF builds without them, so every file must include what it
# uses: a build without them finds a missing include.
# ccache caches both the headers and the files compiled with them when its
# sloppiness allows (scripts/build.sh sets it). The plain-code test programs
# go without: gcc 12 loses track of which inlined code came from a system
# header when it was precompiled, and warns about <string> there.
option(PELMAR_PCH "Precompile the Qt, GoogleTest and standard headers" ON)

function(pelmar_precompile target)
    if(NOT PELMAR_PCH)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 use "QT;WIDGETS;GTEST" "" "")
    set(headers <algorithm> <cstdint> <cstdio> <filesystem> <functional> <memory> <optional>
        <string> <string_view> <vector>)
    if(use_QT OR use_WIDGETS)
        list(APPEND headers <QByteArray> <QCoreApplication> <QHostAddress> <QObject> <QString>
            <QTcpServer> <QTcpSocket> <QTimer>)
    endif()
    if(use_WIDGETS)
        list(APPEND headers <QApplication> <QDialog> <QLabel> <QLineEdit> <QMessageBox>
            <QPushButton> <QWidget>)
    endif()
    if(use_GTEST)
        list(APPEND headers <gtest/gtest.h>)
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
