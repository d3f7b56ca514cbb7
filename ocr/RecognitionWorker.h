#pragma once

#include <functional>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QProcess>

// Reads screen text in a child process, one per grab, so the tray never maps the recognition
// library and every byte of a grab goes back when its child exits. The child starts with the grab
// and loads the models during the drag. Belongs to the application object; its children are
// killed with it, and kill themselves when the tray is killed.
class RecognitionWorker : public QObject {
public:
    // Main thread only; made on first use.
    static RecognitionWorker& instance();
    ~RecognitionWorker() override;

    // Starts the child of the grab that begins, unless one is waiting already.
    void warmUp();
    // Kills the waiting child and waits for it: the grab ended without a crop.
    void stop();
    // Hands the crop to the waiting child, or to a new one; calls done on the main thread with the
    // text (empty when there is none or the child failed), unless the context is gone by then.
    void recognize(const QImage& crop, QObject* context, std::function<void(QString)> done);

private:
    explicit RecognitionWorker(QObject* parent);
    QProcess* startChild();

    QPointer<QProcess> m_waiting;
};
