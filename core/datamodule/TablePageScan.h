// Reads a large table a slice at a time while the program is idle, so that a damaged page is
// found soon after the start without holding the table for long: the start itself reads every
// page only of tables up to TdmDovraPro::WholeCheckBytes.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

class TablePageScan : public QObject {
    Q_OBJECT
public:
    TablePageScan(const QString& folder, const QString& table, QObject* parent = nullptr);
    void start();
    bool running() const { return timer_.isActive(); }

    static constexpr int RowsPerSlice = 2000;

signals:
    // Said once: the table named, what is wrong, and that nothing more is written into it.
    void damaged(const QString& message);

private:
    void step();

    QString folder_, table_;
    std::int64_t next_ = 1;
    QTimer timer_;
};
