#include "sensor_threads.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <memory>

namespace tvx::cli {

namespace {

// Runs `job(index)` in one thread per index and serves the calling thread's events until all
// threads have ended.
void RunThreads(std::size_t count, const std::function<void(std::size_t)>& job) {
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    std::size_t finished = 0;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back(QThread::create([&job, i] {
            job(i);
            // Sockets handed to deleteLater go before the thread's loop is gone.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (++finished == count) loop.quit();
        });
    }
    for (auto& thread : threads) thread->start();
    if (count > 0) loop.exec();
    for (auto& thread : threads) thread->wait();
}

}  // namespace

void RunEachSensor(const std::vector<NamedSensor>& sensors,
                   const std::function<void(SensorLink&, std::size_t)>& job) {
    RunThreads(sensors.size(), [&](std::size_t i) {
        SensorLink link(sensors[i]);
        job(link, i);
    });
}

}  // namespace tvx::cli
