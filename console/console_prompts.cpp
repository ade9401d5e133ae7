#include "console/console_prompts.h"

namespace vantorel::console {

namespace {

// One line per box: line breaks inside a text would split it.
QByteArray OneLine(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QChar('\n'), QChar(' '));
    return line.trimmed().toUtf8();
}

}  // namespace

void ConsolePrompts::ShowMessage(QWidget*, const QString& text, const QString& caption, Icon) {
    std::fprintf(m_out, "message: %s%s%s\n", OneLine(caption).constData(),
                 caption.isEmpty() ? "" : ": ", OneLine(text).constData());
    std::fflush(m_out);
}

bool ConsolePrompts::ConfirmOkCancel(QWidget*, const QString& text, const QString&) {
    std::fprintf(m_out, "question: %s -> OK\n", OneLine(text).constData());
    std::fflush(m_out);
    return true;
}

std::optional<QString> ConsolePrompts::ChooseOpenFile(QWidget*, const QString&) {
    std::fprintf(m_out, "file dialog: none without a window; choose files on the command line\n");
    std::fflush(m_out);
    return std::nullopt;
}

}  // namespace vantorel::console
