#include "app/CrashReporter.h"

#include "app/CrashLogWriter.h"
#include "app/SystemInfo.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <utility>

namespace {

constexpr qint64 kLargestLog = 16 * 1024 * 1024;
const QString kCrashSeparator = QStringLiteral("\n\n**********\n\n");
const QString kUnreadable = QStringLiteral("*** Couldn't read Report ***");

QUrl g_reportAddress;

// The reporter's strings table.
QString text(const char *key)
{
    static const QMap<QString, QString> table = {
        {QStringLiteral("CRASH_REPORT_CGI_URL"),
         QStringLiteral("https://reports.lumaquill.invalid/crashreport")},
        {QStringLiteral("FEEDBACK_EXPLANATION_TEXT"),
         JXCrashReporter::tr("Tell us what you think of %%APPNAME, what you miss in it or what "
                             "went wrong. The information about your system on the second tab "
                             "is sent with your message.")},
        {QStringLiteral("FEEDBACK_MESSAGE_TEXT"),
         JXCrashReporter::tr("Name: %%LONGUSERNAME\nE-mail: %%EMAILADDRESS\n\nYour message:\n")},
        {QStringLiteral("MISSING_EMAIL_ADDRESS"),
         JXCrashReporter::tr("(please give an address if you would like an answer)")},
        {QStringLiteral("SYSTEM_INFO_TAB_NAME"), JXCrashReporter::tr("System Information")},
        {QStringLiteral("COULDNT_SEND_CRASH_REPORT_ERROR"),
         JXCrashReporter::tr("The crash report could not be sent.")},
        {QStringLiteral("COULDNT_SEND_FEEDBACK_ERROR"),
         JXCrashReporter::tr("Your feedback could not be sent.")},
        {QStringLiteral("COULDNT_SEND_CRASH_REPORT_ERROR_OK"), JXCrashReporter::tr("OK")},
    };
    return table.value(QString::fromLatin1(key));
}

QString crashExplanation()
{
    return JXCrashReporter::tr(
        "%%APPNAME quit unexpectedly the last time you used it. Please send the report below, "
        "with a few words on what you were doing, so that the problem can be found and fixed.");
}

QString crashInformation()
{
    return JXCrashReporter::tr(
        "Name: %%LONGUSERNAME\nE-mail: %%EMAILADDRESS\n\nWhat were you doing when it quit?\n");
}

QString corePrefix(int cores)
{
    return cores > 1 ? QStringLiteral("%1x ").arg(cores) : QString();
}

QString gigahertz(long megahertz)
{
    return QString::asprintf("%.2f", static_cast<double>(megahertz) / 1000.0);
}

QString quotedIfNeeded(const QString &value)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.$/:-]+$"));
    if (plain.match(value).hasMatch())
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString describe(const QVariant &value, const QString &indent);

QString describeMap(const QVariantMap &map, const QString &indent)
{
    QString out = QStringLiteral("{\n");
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out += indent + QStringLiteral("    ") + quotedIfNeeded(it.key()) + QStringLiteral(" = ") +
               describe(it.value(), indent + QStringLiteral("    ")) + QStringLiteral(";\n");
    return out + indent + QLatin1Char('}');
}

// A value in the old property-list text form.
QString describe(const QVariant &value, const QString &indent)
{
    switch (value.typeId()) {
    case QMetaType::QVariantMap:
        return describeMap(value.toMap(), indent);
    case QMetaType::QVariantList: {
        QStringList items;
        for (const QVariant &item : value.toList())
            items.append(describe(item, indent));
        return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    case QMetaType::QByteArray:
        return QLatin1Char('<') + QString::fromLatin1(value.toByteArray().toHex()) +
               QLatin1Char('>');
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return quotedIfNeeded(value.toString());
    }
}

QString preferencesDescription()
{
    return describeMap(lq::UserDefaults::standard().dictionaryRepresentation(), QString());
}

// UTF-8 (a byte-order mark honoured), else Latin-1.
QString decodedLog(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

QString lastCrashOf(const QString &path)
{
    const std::optional<QByteArray> bytes =
        lq::readRegularFile(path, kLargestLog, lq::LinkHandling::Follow, nullptr);
    if (!bytes)
        return kUnreadable;
    return decodedLog(*bytes).split(kCrashSeparator).constLast();
}

// False when a "Version:" line names another version than this one.
bool writtenByThisVersion(const QString &crash)
{
    const QString version = lq::Bundle::shortVersion();
    if (version.isEmpty())
        return true;
    for (const QString &line : crash.split(QLatin1Char('\n'))) {
        const QStringList words =
            line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (words.size() > 1 && words.first() == QLatin1String("Version:") &&
            words.at(1) != version)
            return false;
    }
    return true;
}

double secondsSince1970(const QDateTime &date)
{
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
}

QString filledTemplate(QString text)
{
    const QString appName = lq::Bundle::name();
    const QString userName = system_info::longUserName();
    return text.replace(QStringLiteral("%%APPNAME"), appName)
        .replace(QStringLiteral("%%LONGUSERNAME"), userName)
        .replace(QStringLiteral("%%EMAILADDRESS"), ::text("MISSING_EMAIL_ADDRESS"));
}

} // namespace

MachineFacts MachineFacts::current()
{
    return {system_info::JXMachineName(), system_info::JXCountCores(), system_info::JXClockSpeed(),
            system_info::JXSystemVersionString()};
}

JXCrashReporter::JXCrashReporter(const QString &logText, const MachineFacts &facts, QWidget *parent)
    : JXCrashReporter(logText, facts, false, parent)
{}

JXCrashReporter::JXCrashReporter(const MachineFacts &facts, QWidget *parent)
    : JXCrashReporter(QString(), facts, true, parent)
{}

JXCrashReporter::JXCrashReporter(const QString &logText, const MachineFacts &facts,
                                 bool feedbackMode, QWidget *parent)
    : QDialog(parent), m_feedbackMode(feedbackMode)
{
    setWindowTitle(feedbackMode ? tr("Send Feedback") : tr("Crash Report"));
    buildWindow(feedbackMode ? text("FEEDBACK_EXPLANATION_TEXT") : crashExplanation(),
                feedbackMode ? text("FEEDBACK_MESSAGE_TEXT") : crashInformation());
    if (!feedbackMode) {
        m_crashLogField->setPlainText(logText);
        return;
    }
    m_remindButton->hide();
    m_switchTabView->setTabText(1, text("SYSTEM_INFO_TAB_NAME"));
    m_crashLogField->setPlainText(
        QStringLiteral("Application: %1 %2\nModel: %3\nCPU Speed: %4%5 GHz\nSystem Version: "
                       "%6\n\nPreferences:\n%7")
            .arg(lq::Bundle::name(), lq::Bundle::buildRevision(), facts.machineName,
                 corePrefix(facts.cores), gigahertz(facts.megahertz), facts.systemVersion,
                 preferencesDescription()));
}

JXCrashReporter::~JXCrashReporter() = default;

void JXCrashReporter::buildWindow(const QString &explanation, const QString &information)
{
    m_explanationField = new QLabel(filledTemplate(explanation));
    m_explanationField->setWordWrap(true);
    m_informationField = new QPlainTextEdit(filledTemplate(information));
    m_informationField->setObjectName(QStringLiteral("informationField"));
    m_crashLogField = new QPlainTextEdit;
    m_crashLogField->setObjectName(QStringLiteral("crashLogField"));
    m_crashLogField->setReadOnly(true);
    m_crashLogField->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_switchTabView = new QTabWidget;
    m_switchTabView->addTab(m_informationField, tr("Your Comments"));
    m_switchTabView->addTab(m_crashLogField, tr("Crash Log"));
    m_progressIndicator = new QProgressBar;
    m_progressIndicator->setRange(0, 0);
    m_progressIndicator->setTextVisible(false);
    m_progressIndicator->setMaximumWidth(120);
    m_progressIndicator->hide();

    m_sendButton = new QPushButton(tr("Send"));
    m_sendButton->setObjectName(QStringLiteral("sendButton"));
    m_sendButton->setDefault(true);
    m_remindButton = new QPushButton(tr("Remind Me Later"));
    m_remindButton->setObjectName(QStringLiteral("remindButton"));
    m_discardButton = new QPushButton(m_feedbackMode ? tr("Cancel") : tr("Discard"));
    m_discardButton->setObjectName(QStringLiteral("discardButton"));
    connect(m_sendButton, &QPushButton::clicked, this, &JXCrashReporter::sendCrashReport);
    connect(m_remindButton, &QPushButton::clicked, this, &JXCrashReporter::remindMeLater);
    connect(m_discardButton, &QPushButton::clicked, this, &JXCrashReporter::discardCrashReport);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_progressIndicator);
    buttons->addStretch();
    buttons->addWidget(m_discardButton);
    buttons->addWidget(m_remindButton);
    buttons->addWidget(m_sendButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_explanationField);
    layout->addWidget(m_switchTabView, 1);
    layout->addLayout(buttons);
    resize(560, 440);
}

QUrl JXCrashReporter::reportAddress()
{
    return g_reportAddress.isEmpty() ? QUrl(text("CRASH_REPORT_CGI_URL")) : g_reportAddress;
}

void JXCrashReporter::setReportAddress(const QUrl &address)
{
    g_reportAddress = address;
}

void JXCrashReporter::sendCrashReport()
{
    const QByteArray boundary(kBoundary);
    QString report = m_informationField->toPlainText() + QStringLiteral("\n==========\n") +
                     m_crashLogField->toPlainText();
    report.replace(QString::fromLatin1(boundary), QStringLiteral("USED_TO_BE_KHTMLBOUNDARY"));
    const QByteArray body = "--" + boundary +
                            "\r\nContent-Disposition: form-data; name=\"crashlog\"\r\n\r\n" +
                            report.toUtf8() + "\r\n--" + boundary + "--\r\n";

    QNetworkRequest request(reportAddress());
    request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + boundary);
    request.setRawHeader("User-Agent", "JXCrashReporter");
    request.setRawHeader("Content-Length", QByteArray::number(body.size()));
    m_progressIndicator->show();
    m_sendButton->setEnabled(false);
    m_remindButton->setEnabled(false);
    m_discardButton->setEnabled(false);
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    m_connection = m_network->post(request, body);
    connect(m_connection, &QNetworkReply::finished, this, &JXCrashReporter::connectionFinished);
}

void JXCrashReporter::connectionFinished()
{
    QNetworkReply *reply = std::exchange(m_connection, nullptr);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString error;
    if (reply->error() != QNetworkReply::NoError)
        error = reply->errorString();
    else if (status < 200 || status > 299)
        error = tr("The server answered with status %1.").arg(status);
    if (error.isEmpty() && !m_feedbackMode)
        storeHandledDate();
    QMetaObject::invokeMethod(
        this, [this, error] { showFinishedMessage(error); }, Qt::QueuedConnection);
}

void JXCrashReporter::showFinishedMessage(const QString &error)
{
    if (!error.isEmpty()) {
        lq::AlertRequest alert;
        alert.messageText = text(m_feedbackMode ? "COULDNT_SEND_FEEDBACK_ERROR"
                                                : "COULDNT_SEND_CRASH_REPORT_ERROR");
        alert.informativeText = error;
        alert.buttons = {text("COULDNT_SEND_CRASH_REPORT_ERROR_OK")};
        lq::AlertPresenter::current().runModal(alert);
    }
    accept();
}

void JXCrashReporter::remindMeLater()
{
    reject();
}

void JXCrashReporter::discardCrashReport()
{
    if (!m_feedbackMode)
        storeHandledDate();
    reject();
}

void JXCrashReporter::storeHandledDate()
{
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    defaults.setDouble(QLatin1String(kLastCrashReportDateKey), lq::Date::now().secondsSince1970());
    defaults.synchronize();
}

void JXFeedbackProvider::orderFrontFeedbackWindow()
{
    auto *reporter = new JXCrashReporter(MachineFacts::current());
    reporter->setAttribute(Qt::WA_DeleteOnClose);
    reporter->show();
    reporter->raise();
    reporter->activateWindow();
}

QString JXCrashReporterFindTenFiveCrashReportPath(const QString &programName, const QString &folder)
{
    const QString prefix = programName + QLatin1Char('_');
    QDir base(folder);
    QString newest;
    QDateTime newestDate;
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        const QString relative = base.relativeFilePath(path);
        if (!relative.startsWith(prefix) || !relative.endsWith(QLatin1String(".crash")))
            continue;
        const QDateTime modified = entries.fileInfo().lastModified();
        if (newest.isEmpty() || modified > newestDate) {
            newest = path;
            newestDate = modified;
        }
    }
    return newest;
}

bool JXCrashReporterCheckForCrash(const MachineFacts &facts)
{
    try {
        const QString found = JXCrashReporterFindTenFiveCrashReportPath(crash_log::programName(),
                                                                        crash_log::folder());
        if (found.isEmpty())
            return false;
        const QFileInfo log(QFileInfo(found).canonicalFilePath());
        lq::UserDefaults &defaults = lq::UserDefaults::standard();
        const double handled =
            defaults.doubleForKey(QLatin1String(JXCrashReporter::kLastCrashReportDateKey));
        if (!log.exists() || secondsSince1970(log.lastModified()) <= handled)
            return false;
        const QString crash = lastCrashOf(log.filePath());
        if (!writtenByThisVersion(crash))
            return false;
        const QString logText =
            QStringLiteral("Model: %1\nCPU Speed: %2%3 GHz\n%4\n\nPreferences:\n%5")
                .arg(facts.machineName, corePrefix(facts.cores), gigahertz(facts.megahertz), crash,
                     preferencesDescription());
        JXCrashReporter reporter(logText, facts);
        reporter.exec();
        return true;
    } catch (const std::exception &exception) {
        lq::log(QStringLiteral("Error during check for crash: %1\n")
                    .arg(QString::fromUtf8(exception.what())));
        return false;
    }
}
