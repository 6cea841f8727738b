#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

// What the report tells of the machine.
struct MachineFacts
{
    QString machineName;
    int cores = 1;
    long megahertz = 0;
    QString systemVersion;

    // This machine's.
    static MachineFacts current();
};

// The report window: the user's own text and the crash log (or, for feedback, the system
// information), sent as a form upload to the report address.
class JXCrashReporter final : public QDialog
{
    Q_OBJECT
public:
    // The user default holding the time (seconds since 1970, a double) up to which crash logs
    // count as dealt with.
    static constexpr char kLastCrashReportDateKey[] = "JXCrashReporterLastCrashReportDate";
    static constexpr char kBoundary[] = "0xKhTmLbOuNdArY";

    // Crash mode: logText is the prepared crash text.
    explicit JXCrashReporter(const QString &logText, const MachineFacts &facts,
                             QWidget *parent = nullptr);
    // Feedback mode: the log tab shows the system information.
    explicit JXCrashReporter(const MachineFacts &facts, QWidget *parent = nullptr);
    ~JXCrashReporter() override;

    bool feedbackMode() const { return m_feedbackMode; }

    // The address reports go to; tests point it at a server of their own (an empty address
    // restores the program's).
    static QUrl reportAddress();
    static void setReportAddress(const QUrl &address);

    void sendCrashReport();
    void remindMeLater();
    void discardCrashReport();

private:
    JXCrashReporter(const QString &logText, const MachineFacts &facts, bool feedbackMode,
                    QWidget *parent);
    void buildWindow(const QString &explanation, const QString &information);
    void connectionFinished();
    void showFinishedMessage(const QString &error);
    void storeHandledDate();

    const bool m_feedbackMode;
    QLabel *m_explanationField = nullptr;
    QPlainTextEdit *m_informationField = nullptr;
    QPlainTextEdit *m_crashLogField = nullptr;
    QTabWidget *m_switchTabView = nullptr;
    QProgressBar *m_progressIndicator = nullptr;
    QPushButton *m_sendButton = nullptr;
    QPushButton *m_remindButton = nullptr;
    QPushButton *m_discardButton = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_connection = nullptr;
};

// Opens the report window for feedback (the Help menu's "Send Feedback…"); it shows itself and
// goes when closed.
namespace JXFeedbackProvider {
void orderFrontFeedbackWindow();
}

// The newest crash log of the program in folder (and its subfolders): a name that begins with
// "<programName>_" and ends with ".crash", the latest modified (the first found on equal dates);
// empty when there is none.
QString JXCrashReporterFindTenFiveCrashReportPath(const QString &programName,
                                                  const QString &folder);

// At start-up: when the program's crash folder holds a log newer than the last one dealt with and
// written by this version, the report window is run (modally, so that the offers of a start come
// one after the other) and the answer is true.
bool JXCrashReporterCheckForCrash(const MachineFacts &facts = MachineFacts::current());
