#include "frmabout.h"

#include "controls.h"
#include "numbers.h"
#include "services.h"

#include <QByteArray>
#include <QLabel>
#include <QPushButton>

#include <exception>

namespace {

// Where the system records its information tool.
const QString MsinfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString MsinfoPathValue = QStringLiteral("PATH");
const QString ToolsLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString ToolsLocationValue = QStringLiteral("MSINFO");
const QString MsinfoFile = QStringLiteral("\\MSINFO32.EXE");

const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

const QColor Black(0, 0, 0);

// Registry text is in the system's code page, one byte per character on
// Windows; elsewhere the stand-in speaks the locale's encoding, as file
// names do.
std::string toRegistryText(const QString &text)
{
    return text.toLocal8Bit().toStdString();
}

QString fromRegistryText(const std::string &text)
{
    return QString::fromLocal8Bit(QByteArray::fromStdString(text));
}

} // namespace

frmAbout::frmAbout(rt::Services &services, sysinfo::Registry &registry, QObject *parent)
    : rt::Form(QStringLiteral("frmAbout"), parent), m_services(services), m_registry(registry)
{
}

void frmAbout::build(rt::FormWindow *window)
{
    // A fixed dialog frame: a title with a close button, nothing to
    // minimise, maximise or resize.
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                           | Qt::MSWindowsFixedSizeDialogHint);
    window->setWindowTitle(QStringLiteral("About Squibbo"));
    window->setClientSize(5715, 3150);

    picIcon = new rt::PictureBox(window, QStringLiteral("picIcon"),
                                 QPixmap(QStringLiteral(":/design/picture2.bmp")), 120, 240,
                                 1320, 615, 1);
    // It takes the focus on its turn in the tab order, as a picture box does.
    picIcon->setFocusPolicy(Qt::TabFocus);

    cmdOK = rt::makeButton(window, QStringLiteral("cmdOK"), QStringLiteral("OK"), 4245, 2265,
                           1260, 345, 8.25, 0);
    cmdSysInfo = rt::makeButton(window, QStringLiteral("cmdSysInfo"),
                                QStringLiteral("&System Info..."), 4260, 2715, 1245, 345, 8.25,
                                2);

    Label2 = rt::makeLabel(window, QStringLiteral("Label2"),
                           QStringLiteral("This game is Freeware!  Like it?  Pass it on to a friend."),
                           1020, 1515, 4215, 255, 8.25, 8, true);
    Label1 = rt::makeLabel(window, QStringLiteral("Label1"),
                           QStringLiteral("Web page: http://squibbo.example.org/"), 1020, 1275,
                           3975, 255, 8.25, 7, true);
    lblDescription = rt::makeLabel(window, QStringLiteral("lblDescription"),
                                   QStringLiteral("A pie-throwing game by the Squibbo crew."),
                                   1035, 1080, 3885, 195, 8.25, 3, true);
    rt::setForeColor(lblDescription, Black);
    lblTitle = rt::makeLabel(window, QStringLiteral("lblTitle"), QStringLiteral(" Squibbo!"),
                             1770, 165, 2355, 360, 12, 5, true);
    rt::setForeColor(lblTitle, Black);
    lblVersion = rt::makeLabel(window, QStringLiteral("lblVersion"), QStringLiteral("Version 1.0"),
                               1800, 600, 3885, 225, 8.25, 6, true);
    lblDisclaimer = rt::makeLabel(window, QStringLiteral("lblDisclaimer"), QString(), 240, 2265,
                                  3870, 825, 8.25, 4, true);
    rt::setForeColor(lblDisclaimer, Black);

    // The grey line lies one pixel above the white one: together they look
    // cut into the window.
    Line1[1] = new rt::LineControl(window, QStringLiteral("Line1"), 90, 2085, 5654, 2085,
                                   QColor(128, 128, 128), 1);
    Line1[1]->setProperty("Index", 1);
    Line1[0] = new rt::LineControl(window, QStringLiteral("Line1"), 105, 2100, 5654, 2100,
                                   QColor(255, 255, 255), 2);
    Line1[0]->setProperty("Index", 0);

    // OK answers both Enter and Esc, and has the focus when the window opens.
    cmdOK->setDefault(true);
    window->setDefaultButton(cmdOK);
    window->setCancelButton(cmdOK);
    QWidget::setTabOrder(cmdOK, picIcon);
    QWidget::setTabOrder(picIcon, cmdSysInfo);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load()
{
    window()->setWindowTitle(QStringLiteral("About ") + rt::appTitle());
    lblVersion->setText(QStringLiteral("Version ") + rt::PlainForm(AppMajor) + QLatin1Char('.')
                        + rt::PlainForm(AppMinor) + QLatin1Char('.')
                        + rt::PlainForm(AppRevision));
    lblTitle->setText(rt::appTitle());
}

void frmAbout::cmdOK_Click()
{
    Unload();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    bool started = false;
    try {
        QString ProgramPath;
        if (GetKeyValue(sysinfo::HkeyLocalMachine, MsinfoKey, MsinfoPathValue, ProgramPath)) {
            // The tool's full path: started as it stands, without a test.
            started = m_services.programStart->start(ProgramPath);
        } else if (GetKeyValue(sysinfo::HkeyLocalMachine, ToolsLocationKey, ToolsLocationValue,
                               ProgramPath)) {
            // The folder that holds it, taken as it stands.
            ProgramPath += MsinfoFile;
            if (m_services.fileTest->isNormalFile(ProgramPath))
                started = m_services.programStart->start(ProgramPath);
        }
    } catch (const std::exception &) {
        // Whatever went wrong, the player hears only that the tool is
        // unavailable.
        started = false;
    }
    // The window stays open and unchanged either way.
    if (!started)
        m_services.messageBox->show(SysInfoUnavailable);
}

bool frmAbout::GetKeyValue(std::uint32_t RootKey, const QString &KeyPath,
                           const QString &ValueName, QString &ValueText)
{
    std::string text = toRegistryText(ValueText);
    const bool found = sysinfo::GetKeyValue(m_registry, RootKey, toRegistryText(KeyPath),
                                            toRegistryText(ValueName), text);
    ValueText = fromRegistryText(text);
    return found;
}
