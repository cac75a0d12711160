#pragma once

#include <QByteArray>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace corvane::testing {

// Collects the warnings of one logging category while it lives (from any thread); other
// messages go on to the handler it replaced. One capture at a time.
class LogCapture {
public:
    explicit LogCapture(const char* category) : category_(category)
    {
        self() = this;
        previous_ = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        self() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QStringList warnings() const
    {
        QMutexLocker lock(&mutex_);
        return warnings_;
    }

private:
    static LogCapture*& self()
    {
        static LogCapture* current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        LogCapture* c = self();
        if (c && context.category && c->category_ == context.category) {
            if (type == QtWarningMsg) {
                QMutexLocker lock(&c->mutex_);
                c->warnings_ << message;
            }
            return;
        }
        if (c && c->previous_)
            c->previous_(type, context, message);
    }

    QByteArray category_;
    QtMessageHandler previous_ = nullptr;
    mutable QMutex mutex_;
    QStringList warnings_;
};

} // namespace corvane::testing
