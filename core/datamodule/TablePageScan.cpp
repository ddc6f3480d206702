#include "core/datamodule/TablePageScan.h"
#include "engine/Engine.h"

TablePageScan::TablePageScan(const QString& folder, const QString& table, QObject* parent)
    : QObject(parent), folder_(folder), table_(table)
{
    // A short pause between slices lets other workstations write.
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &TablePageScan::step);
}

void TablePageScan::start()
{
    next_ = 1;
    timer_.start();
}

void TablePageScan::step()
{
    const engine::RowScan scan =
        engine::scanTableRows(folder_.toStdString(), table_.toStdString(), next_, RowsPerSlice);
    if (scan.check.state == engine::TableFileState::Damaged) {
        timer_.stop();
        emit damaged(QStringLiteral("The table %1 is damaged (%2). Nothing more is written into it; the rows it "
                                    "holds are still in that file. Restore it from a backup copy.")
                         .arg(QString::fromStdString(engine::tableFile(folder_.toStdString(), table_.toStdString())),
                              QString::fromStdString(scan.check.cause)));
        return;
    }
    if (scan.next == 0)
        timer_.stop();
    else
        next_ = scan.next;
}
