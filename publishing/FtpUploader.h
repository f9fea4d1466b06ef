#pragma once
// Upload runs on a worker thread, so that a slow or silent server holds up neither polling nor
// the window. One run at a time; its report is called on the worker thread, in the run's order.
#include "publishing/FtpUploadSequence.h"

#include <functional>
#include <thread>

class FtpUploader {
public:
    FtpUploader() = default;
    // Aborts a run still going and waits for its thread.
    ~FtpUploader();
    FtpUploader(const FtpUploader&) = delete;
    FtpUploader& operator=(const FtpUploader&) = delete;

    // Starts a run; `ended` is called on the worker thread after the run's last report. The
    // caller starts no run before the last one has called `ended`.
    void Start(FtpUploadJob job, FtpUploadReport report, std::function<void()> ended);
    // Ends the run within a second, with the abandoned step's error line.
    void Abort() { m_abort.Abort(); }
    // Waits for the last run's thread.
    void Join();

private:
    FtpAbort m_abort;
    std::thread m_thread;
};
