#include "frmabout.h"

#include "accessibility.h"
#include "controls.h"
#include "numbers.h"
#include "release.h"
#include "services.h"

#include <QByteArray>
#include <QLabel>
#include <QPushButton>

#include <exception>

using namespace Qt::Literals::StringLiterals;

namespace {

// The tool's file in the folder that the second key names.
const QString MsinfoFile = QStringLiteral("\\MSINFO32.EXE");

const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

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

    // The picture only decorates: Tab passes it by, from OK straight to
    // "System Info...".
    picIcon = new rt::PictureBox(window, u"picIcon"_s, rt::ReadPicture(u":/design/picture2.bmp"_s),
                                 {.left = 120, .top = 240, .width = 1320, .height = 615}, 1);

    cmdOK = rt::makeButton(window, {.name = u"cmdOK"_s, .caption = u"OK"_s,
                                    .at = {.left = 4245, .top = 2265, .width = 1260, .height = 345},
                                    .tabIndex = 0});
    cmdSysInfo = rt::makeButton(
        window, {.name = u"cmdSysInfo"_s, .caption = u"&System Info..."_s,
                 .at = {.left = 4260, .top = 2715, .width = 1245, .height = 345}, .tabIndex = 2});

    Label2 = rt::makeLabel(
        window, {.name = u"Label2"_s,
                 .caption = u"This game is Freeware!  Like it?  Pass it on to a friend."_s,
                 .at = {.left = 1020, .top = 1515, .width = 4215, .height = 255},
                 .tabIndex = 8, .opaque = true});
    Label1 = rt::makeLabel(
        window, {.name = u"Label1"_s, .caption = u"Web page: http://squibbo.example.org/"_s,
                 .at = {.left = 1020, .top = 1275, .width = 3975, .height = 255},
                 .tabIndex = 7, .opaque = true});
    // The title, the notice and the disclaimer were set in black, the text
    // colour of the desktop the window was designed on; they take the
    // desktop's own text colour, like the other labels.
    lblDescription = rt::makeLabel(
        window, {.name = u"lblDescription"_s, .caption = u"A pie-throwing game by the Squibbo crew."_s,
                 .at = {.left = 1035, .top = 1080, .width = 3885, .height = 195},
                 .tabIndex = 3, .opaque = true});
    lblTitle = rt::makeLabel(
        window, {.name = u"lblTitle"_s, .caption = u" Squibbo!"_s,
                 .at = {.left = 1770, .top = 165, .width = 2355, .height = 360},
                 .pointSize = 12, .tabIndex = 5, .opaque = true});
    lblVersion = rt::makeLabel(
        window, {.name = u"lblVersion"_s, .caption = u"Version 1.0"_s,
                 .at = {.left = 1800, .top = 600, .width = 3885, .height = 225},
                 .tabIndex = 6, .opaque = true});
    lblDisclaimer = rt::makeLabel(
        window, {.name = u"lblDisclaimer"_s,
                 .at = {.left = 240, .top = 2265, .width = 3870, .height = 825},
                 .tabIndex = 4, .opaque = true});

    // The grey line lies one pixel above the light one: together they look
    // cut into the window. The light one is the desktop's light colour,
    // white on the classic light desktop, so it never glares on a dark one.
    Line1[1] = new rt::LineControl(window, u"Line1"_s, {90, 2085}, {5654, 2085},
                                   QColor(128, 128, 128), 1);
    Line1[1]->setProperty("Index", 1);
    Line1[0] = new rt::LineControl(window, u"Line1"_s, {105, 2100}, {5654, 2100},
                                   window->palette().color(QPalette::Light), 2);
    Line1[0]->setProperty("Index", 0);

    // OK answers both Enter and Esc, and has the focus when the window opens.
    cmdOK->setDefault(true);
    window->setDefaultButton(cmdOK);
    window->setCancelButton(cmdOK);
    QWidget::setTabOrder(cmdOK, cmdSysInfo);
    cmdOK->setFocus();

    // Read from the top down; the separator and the empty disclaimer are
    // left out.
    picIcon->setAccessibleName(u"A cream pie"_s);
    rt::setReadingOrder(window, QAccessible::Dialog,
                        {{lblTitle}, {picIcon}, {lblVersion}, {lblDescription}, {Label1}, {Label2},
                         {cmdOK}, {cmdSysInfo}});

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load()
{
    window()->setWindowTitle(QStringLiteral("About ") + rt::appTitle());
    const QString version = rt::PlainForm(rt::AppMajor) + QLatin1Char('.')
        + rt::PlainForm(rt::AppMinor) + QLatin1Char('.') + rt::PlainForm(rt::AppRevision);
    lblVersion->setText(u"Version "_s + version);
    lblTitle->setText(rt::appTitle());
    // A screen reader says the window's longer lines as it opens, but
    // passes over a title of one word and a version of two: the version
    // line reads with the title, as one sentence.
    lblVersion->setAccessibleName(rt::appTitle() + u", version "_s + version);
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
        const auto text = [](const char *s) { return QString::fromLatin1(s); };
        if (GetKeyValue(sysinfo::HkeyLocalMachine, text(sysinfo::MsinfoKey),
                        text(sysinfo::MsinfoPathValue), ProgramPath)) {
            // The tool's full path: started as it stands, without a test.
            started = m_services.programStart->start(ProgramPath);
        } else if (GetKeyValue(sysinfo::HkeyLocalMachine, text(sysinfo::ToolsLocationKey),
                               text(sysinfo::ToolsLocationValue), ProgramPath)) {
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
        m_services.messageBox->show(window(), SysInfoUnavailable);
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
