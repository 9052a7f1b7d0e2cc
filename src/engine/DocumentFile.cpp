#include "engine/DocumentFile.h"

#include <utility>

Status DocumentFile::takesPages() const {
    if (!m_failure.isEmpty()) {
        return Status::failure(m_failure);
    }
    if (m_finished) {
        return Status::failure(QStringLiteral("The file is already finished"));
    }
    return {};
}

Status DocumentFile::readyToFinish() {
    if (Status open = takesPages(); !open) {
        return open;
    }
    if (m_pages == 0) {
        return fail(Status::failure(QStringLiteral("No page to write")));
    }
    return {};
}

Status DocumentFile::commit() {
    if (Status committed = m_file.commit(); !committed) {
        return fail(std::move(committed));
    }
    m_finished = true;
    return {};
}

Status DocumentFile::fail(Status status) {
    status = m_file.inFinalTerms(std::move(status));
    m_failure = status.error();
    m_file.discard();
    return status;
}
