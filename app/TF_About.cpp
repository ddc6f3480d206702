#include "app/TF_About.h"
#include "core/ProgramFolder.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace {

struct CompanyDetails {
    QString street, cityLine, phone, web, notice;
};

// The support address stays the maker's whatever the branding.
const QString kSupportMail = QStringLiteral("support@quelmar.example");

CompanyDetails detailsFor(const QString& company)
{
    if (company == "Ostrel")
        return {"88 Depot Street", "Columbus, OH 43215", "(614) 555-0177", "www.ostrel.example",
                "Distributed by Ostrel Office Systems"};
    return {"1200 Harbor Way", "Portland, OR 97201", "(503) 555-0142", "www.quelmar.example",
            "Unauthorized copying is prohibited."};
}

int splashMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariable("DOVRA_SPLASH_MS").toInt(&ok);
    return ok && ms >= 0 ? ms : 3000;
}

} // namespace

QString aboutVersionLine(const QString& fileVersion)
{
    const QStringList parts = fileVersion.split('.', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QStringLiteral("Version 3.0");
    return "Version " + parts.mid(0, 3).join('.');
}

QPixmap TF_About::bannerPicture()
{
    QPixmap pm(220, 50);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 220, 0);
    g.setColorAt(0, QColor(0, 0, 128));
    g.setColorAt(1, QColor(40, 90, 200));
    p.fillRect(pm.rect(), g);
    p.setPen(Qt::white);
    p.setFont(QFont("Times New Roman", 20, QFont::Bold, true));
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("Dovra Pro 4.0"));
    return pm;
}

QPixmap TF_About::companyPicture()
{
    QPixmap pm(197, 97);
    pm.fill(QColor(192, 220, 192));
    QPainter p(&pm);
    p.setPen(QPen(QColor(0, 100, 0), 2));
    p.drawRoundedRect(pm.rect().adjusted(2, 2, -2, -2), 8, 8);
    p.setFont(QFont("Arial", 16, QFont::Bold));
    p.drawText(pm.rect().adjusted(0, 10, 0, -30), Qt::AlignCenter, QStringLiteral("Quelmar"));
    p.setFont(QFont("Arial", 9));
    p.drawText(pm.rect().adjusted(0, 50, 0, 0), Qt::AlignCenter, QStringLiteral("Certified Mail Software"));
    return pm;
}

TF_About::TF_About(Mode mode, const QString& company, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), mode_(mode)
{
    setObjectName("F_About");
    setModal(true);
    const bool ostrel = company == "Ostrel";
    QPixmap logo;
    const bool logoLoaded = ostrel && logo.load(programfolder::sideFile("Scr_logo.bmp"));
    const int extra = logoLoaded ? 56 : 0;

    panel_ = new QFrame(this);
    panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel_->setLineWidth(2);
    auto banner = new QLabel(panel_);
    banner->setPixmap(bannerPicture());
    banner->setGeometry(8, 6, 220, 50);

    if (mode == Mode::Splash) {
        resize(236, 80);
        panel_->setGeometry(0, 0, 236, 62);
        timer_ = new QTimer(this);
        timer_->setSingleShot(true);
        connect(timer_, &QTimer::timeout, this, [this] { splashDone_ = true; });
        timer_->start(splashMs());
    } else {
        resize(300, 330 + extra);
        panel_->setGeometry(4, 4, 292, 284 + extra);
        banner->setGeometry(36, 6, 220, 50);
        auto picture = new QLabel(panel_);
        picture->setObjectName("imageCompany");
        picture->setPixmap(logoLoaded ? logo : companyPicture());
        picture->setScaledContents(logoLoaded);
        picture->setGeometry(47, 60, 197, 97 + extra);
        const CompanyDetails d = detailsFor(company);
        auto addLine = [&](const QString& html, int top, bool link = false) {
            auto l = new QLabel(html, panel_);
            l->setAlignment(Qt::AlignCenter);
            l->setGeometry(4, top + extra, 284, 16);
            if (link) {
                l->setCursor(Qt::PointingHandCursor);
                l->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
                connect(l, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
            }
            return l;
        };
        const QString navy = "<span style='color:navy;font-weight:bold'>%1</span>";
        addLine(navy.arg(d.street), 162);
        addLine(navy.arg(d.cityLine), 178);
        addLine(navy.arg(d.phone), 194);
        addLine(QString("<a style='color:blue' href='http://%1'>%1</a>").arg(d.web), 212, true);
        const QString mail = "mailto:" + kSupportMail + "?Subject=" + QApplication::applicationDisplayName();
        addLine(QString("<a style='color:blue' href='%1'>%2</a>").arg(mail, kSupportMail), 228, true);
        addLine(aboutVersionLine(QApplication::applicationVersion()), 246);
        addLine(QString("<span style='color:red;font-weight:bold'>%1</span>").arg(d.notice.toHtmlEscaped()), 264);
        auto ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setObjectName("btnOK");
        ok->setGeometry(112, 296 + extra, 75, 25);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    if (auto screen = QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TF_About::waitForSplashTimer()
{
    if (!timer_ || splashDone_)
        return;
    QEventLoop loop;
    connect(timer_, &QTimer::timeout, &loop, &QEventLoop::quit);
    loop.exec();
}

void TF_About::keyPressEvent(QKeyEvent* event)
{
    if (mode_ == Mode::Splash && event->key() == Qt::Key_Escape)
        return; // the splash cannot be dismissed
    QDialog::keyPressEvent(event);
}
