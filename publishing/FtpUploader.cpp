#include "publishing/FtpUploader.h"

FtpUploader::~FtpUploader() {
    Abort();
    Join();
}

void FtpUploader::Start(FtpUploadJob job, FtpUploadReport report, std::function<void()> ended) {
    Join(); // the last run has reported its end: its thread is finishing, if not gone
    m_abort.Reset();
    m_thread =
        std::thread([this, job = std::move(job), report = std::move(report), ended = std::move(ended)] {
            // Nothing may leave the thread, which would end the program: the run says its own
            // failures, and one that could not even be said leaves the run ended all the same.
            try {
                RunFtpUpload(job, report, &m_abort);
            } catch (...) {
            }
            try {
                ended();
            } catch (...) {
            }
        });
}

void FtpUploader::Join() {
    if (m_thread.joinable())
        m_thread.join();
}
