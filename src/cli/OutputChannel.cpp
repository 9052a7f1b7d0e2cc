#include "cli/OutputChannel.h"

#include "platform/NativePath.h"

#include <csignal>

#include <unistd.h>

void OutputChannel::print(const QString& text) {
    write(NativePath::encode(text));
}

void OutputChannel::write(const QByteArray& bytes) {
    if (m_closed) {
        return;
    }
    // Unbuffered in effect: a line shows when it is made, and a failure is
    // seen at the write that met it.
    m_closed = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_stream) !=
                   static_cast<size_t>(bytes.size()) ||
               std::fflush(m_stream) != 0;
}

bool OutputChannel::isTerminal() const {
    return isatty(fileno(m_stream)) != 0;
}

void ignoreBrokenPipes() {
    // Nothing else sets this signal, so its old disposition is of no use.
    (void)std::signal(SIGPIPE, SIG_IGN);
}
