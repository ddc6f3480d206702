// The about box, also the start-up splash (banner only, held at least three seconds).
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;
class QFrame;

// "Version " and the first three parts of the program's version; "Version 3.0" without one.
QString aboutVersionLine(const QString& fileVersion);

class TF_About : public QDialog {
    Q_OBJECT
public:
    enum class Mode { About, Splash };
    explicit TF_About(Mode mode, const QString& company = QString(), QWidget* parent = nullptr);

    bool splashTimerFired() const { return splashDone_; }
    // Splash: lets window messages run until the splash timer has fired.
    void waitForSplashTimer();

    static QPixmap bannerPicture();
    static QPixmap companyPicture();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Mode mode_;
    bool splashDone_ = false;
    QTimer* timer_ = nullptr;
    QFrame* panel_ = nullptr;
};
