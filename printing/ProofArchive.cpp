#include "printing/ProofArchive.h"

#include "canvas/PdfCanvas.h"
#include "core/ProofCopies.h"
#include "core/Settings.h"
#include "engine/Engine.h"
#include "engine/Server.h"
#include "engine/ServerBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Copies stored in one server transaction at most, and copies waiting to be drawn and stored
// at most: a run that prints faster than the server stores waits for it rather than filling
// the memory.
constexpr size_t kCopiesPerTransaction = 32;
constexpr size_t kCopiesWaiting = 256;
// How long a run's copies wait, in all, for a server that is away for a moment.
constexpr int kServerWaitMs = 15000;

// The one warning of a run whose copy of the number could not be kept on the server.
QString serverWarning(const QString& location, const QString& number, const QString& failure)
{
    return QStringLiteral("The proof copy of the Mailer Number %1 could not be kept on the database server %2: %3\n\n"
                          "The mailer has been printed and logged as usual.")
        .arg(number, QString::fromStdString(engine::describeServer(location.toStdString())), failure);
}

// Draws the copy of a mailer as one PDF job in folder; returns its file.
QString drawCopy(const QString& folder, const MailerValues& values, MailerLayout layout, LabelPosition position,
                 const QString& recipient)
{
    PdfJobCanvas canvas(folder);
    canvas.SetJobSubject(recipient);
    if (layout == MailerLayout::Form) {
        PrintMailerForm(canvas, values, layout);
    } else {
        canvas.BeginDocument();
        PrintMailerForm(canvas, values, layout, position);
        canvas.EndDocument();
    }
    return canvas.lastFile();
}

// Puts the finished copy under the number's name without replacing a copy already there
// (a reprint of the number keeps the first one and gets "-2", "-3", ...).
QString placeProof(const QString& written, const QString& folder, const QString& number)
{
    for (int n = 1; n < 1000; ++n) {
        const QString name = folder + "/" + number + (n == 1 ? QString() : QString("-%1").arg(n)) + ".pdf";
        const int err = engine::placeWithoutReplacing(QFile::encodeName(written).toStdString(),
                                                      QFile::encodeName(name).toStdString());
        if (err == 0)
            return {};
        if (err != EEXIST)
            return QString::fromLocal8Bit(std::strerror(err));
    }
    return QStringLiteral("too many copies of the same Mailer Number");
}

} // namespace

// A mailer whose copy waits to be drawn and stored, and the copy drawn.
struct PendingCopy {
    MailerValues values;
    MailerLayout layout;
    LabelPosition position;
    QString recipient;
    QString printedAt; // "yyyy-MM-dd HH:mm:ss"
};
struct StoredCopy {
    QString number;
    QString recipient;
    QString printedAt;
    QByteArray pdf;
};

class ProofArchive::ServerStore {
public:
    explicit ServerStore(const QString& location) : location_(location.toStdString()) {}
    ~ServerStore()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join(); // after the copies still waiting are stored
    }

    void put(PendingCopy copy)
    {
        std::unique_lock lock(mutex_);
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        room_.wait(lock, [this] { return queue_.size() < kCopiesWaiting; });
        queue_.push_back(std::move(copy));
        wake_.notify_one();
    }

    // Waits until every copy put is stored or has failed. The first that failed: its number
    // and the cause; empty when none did.
    std::pair<QString, QString> drain()
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return queue_.empty() && !storing_; });
        return {failedNumber_, failure_};
    }

private:
    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (queue_.empty())
                break;
            std::vector<PendingCopy> batch;
            while (!queue_.empty() && batch.size() < kCopiesPerTransaction) {
                batch.push_back(std::move(queue_.front()));
                queue_.pop_front();
            }
            storing_ = true;
            room_.notify_all();
            lock.unlock();
            // The first copy that failed, in drawing or in storing, with the cause.
            QString number, failure;
            std::vector<StoredCopy> drawn;
            drawn.reserve(batch.size());
            for (const PendingCopy& copy : batch) {
                try {
                    drawn.push_back({copy.values.numberT, copy.recipient, copy.printedAt, drawnCopy(copy)});
                } catch (const std::exception& e) {
                    if (number.isEmpty()) {
                        number = copy.values.numberT;
                        failure = QString::fromUtf8(e.what());
                    }
                }
            }
            try {
                if (!drawn.empty())
                    storeWaitingForTheServer(drawn);
            } catch (const std::exception& e) {
                if (number.isEmpty()) {
                    number = drawn.front().number;
                    failure = QString::fromUtf8(e.what());
                }
            }
            lock.lock();
            storing_ = false;
            if (!number.isEmpty() && failedNumber_.isEmpty()) {
                failedNumber_ = number;
                failure_ = failure;
            }
            idle_.notify_all();
        }
        lock.unlock();
        engine::disconnectServers(); // this thread's connection
    }

    // The copy's PDF, drawn in the store's own folder and read back.
    QByteArray drawnCopy(const PendingCopy& copy) const
    {
        if (!drawing_.isValid())
            throw PrintError(QStringLiteral("no temporary folder to draw it in"));
        QFile file(drawCopy(drawing_.path(), copy.values, copy.layout, copy.position, copy.recipient));
        if (!file.open(QIODevice::ReadOnly))
            throw PrintError(file.errorString());
        QByteArray pdf = file.readAll();
        file.close();
        file.remove();
        return pdf;
    }

    // A server away for a moment (restarted, a connection dropped) is waited for, the copies held
    // meanwhile, up to kServerWaitMs in all for the archive's run; a statement the server itself
    // refuses is not tried again.
    void storeWaitingForTheServer(const std::vector<StoredCopy>& copies)
    {
        try {
            store(copies);
            return;
        } catch (const engine::UniqueKeyError&) {
            throw;
        } catch (const engine::EngineError&) {
        }
        for (int pauseMs = 100;; pauseMs = std::min(2 * pauseMs, 2000)) {
            const std::string away = engine::testServerConnection(location_);
            if (away.empty()) {
                store(copies); // the server answers: tried once more on a new connection
                return;
            }
            if (waitedMs_ >= kServerWaitMs)
                throw engine::EngineError(away);
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            waitedMs_ += pauseMs;
        }
    }

    // The copies in one statement, a transaction of its own: all are stored, or none. Each
    // copy's bytes go as they are.
    void store(const std::vector<StoredCopy>& copies)
    {
        std::string rows;
        std::vector<engine::Value> values;
        std::vector<bool> asBytes;
        values.reserve(copies.size() * 4);
        for (const StoredCopy& copy : copies) {
            rows += rows.empty() ? "(?, ?, ?, ?)" : ", (?, ?, ?, ?)";
            values.emplace_back(copy.number.toStdString());
            values.emplace_back(copy.recipient.toStdString());
            values.emplace_back(copy.printedAt.toStdString());
            values.emplace_back(std::string(copy.pdf.constData(), size_t(copy.pdf.size())));
            asBytes.insert(asBytes.end(), {false, false, false, true});
        }
        engine::runWithBytes(location_, "INSERT INTO Proofs (MailerNum, Recipient, Printed, Pdf) VALUES " + rows,
                             values, asBytes);
    }

    const std::string location_;
    QTemporaryDir drawing_; // where the copies are drawn before their bytes go to the server
    std::mutex mutex_;
    std::condition_variable wake_, room_, idle_;
    std::deque<PendingCopy> queue_;
    int waitedMs_ = 0; // for a server away, by the storing thread
    bool storing_ = false;
    bool stop_ = false;
    QString failedNumber_, failure_;
    std::thread thread_; // started with the first copy
};

ProofArchive::ProofArchive(const Settings& settings) : ProofArchive(settings.proofLocation(), settings.proofCopies) {}

ProofArchive::ProofArchive(const QString& location, bool enabled) : location_(location), enabled_(enabled) {}

ProofArchive::~ProofArchive() = default;

bool ProofArchive::onServer() const
{
    return engine::isServerLocation(location_.toStdString());
}

void ProofArchive::keep(const MailerValues& values, MailerLayout layout, LabelPosition position,
                        const QString& recipient, const QDateTime& printedAt)
{
    if (!enabled_)
        return;
    if (onServer())
        keepOnServer(values, layout, position, recipient, printedAt);
    else
        keepInFolder(values, layout, position, recipient, printedAt);
}

void ProofArchive::keepInFolder(const MailerValues& values, MailerLayout layout, LabelPosition position,
                                const QString& recipient, const QDateTime& printedAt)
{
    const QString& number = values.numberT;
    const QString month = ProofCopies::monthFolder(location_, printedAt);
    // Copies are written in a folder of their own beside the month's and only then named
    // after their number, so no crash leaves a half file under a Mailer Number's name.
    const QString incoming = month + "/.incoming";
    QString failure;
    try {
        if (!QDir().mkpath(incoming))
            throw PrintError(QStringLiteral("the folder cannot be created"));
        const QString written = drawCopy(incoming, values, layout, position, recipient);
        failure = placeProof(written, month, number);
        if (!failure.isEmpty())
            QFile::remove(written);
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!failure.isEmpty() && warning_.isEmpty())
        warning_ =
            QStringLiteral("The proof copy of the Mailer Number %1 could not be kept in the folder \"%2\": %3\n\n"
                           "The mailer has been printed and logged as usual.")
                .arg(number, location_, failure);
}

void ProofArchive::keepOnServer(const MailerValues& values, MailerLayout layout, LabelPosition position,
                                const QString& recipient, const QDateTime& printedAt)
{
    const QString& number = values.numberT;
    QString failure;
    try {
        if (!store_)
            store_ = std::make_unique<ServerStore>(location_);
        store_->put({values, layout, position, recipient, printedAt.toString("yyyy-MM-dd HH:mm:ss")});
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
    }
    if (!failure.isEmpty() && warning_.isEmpty())
        warning_ = serverWarning(location_, number, failure);
}

QString ProofArchive::warning() const
{
    if (!store_)
        return warning_;
    const auto [number, failure] = store_->drain();
    // A copy that could not be handed over is told before one the storing thread could not
    // draw or store.
    if (!warning_.isEmpty() || number.isEmpty())
        return warning_;
    return serverWarning(location_, number, failure);
}
