# Precompiled headers: the Qt and standard headers most files
# include, parsed once per target instead of once per file.
#   pelmar_precompile(TARGET [QT] [WIDGETS])
# -DPELMAR_PCH=OFF builds without them, so every file must include what it
# uses: a build without them finds a missing include.
# ccache caches both the headers and the files compiled with them when its
# sloppiness allows (scripts/build.sh sets it). The test programs go without:
# gcc 12 loses track of which inlined code came from a system header when it
# was precompiled, and then warns falsely about std::string's operator+ in
# tests (-Warray-bounds).
option(PELMAR_PCH "Precompile the Qt and standard headers" ON)

function(pelmar_precompile target)
    if(NOT PELMAR_PCH)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 use "QT;WIDGETS" "" "")
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
    target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
