// The "Paths &  settings" page.
#include "app/Globals.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "settings/OptionsPages.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_LOG_PATH = 1026,
    IDC_HTML_PATH = 1028,
    IDC_DEQUEUE = 1029,
    IDC_DEHEX = 1031,
    IDC_LOG_RESULTS = 1038,
    IDC_SPIN_TRACK_SIZE = 1044,
    IDC_LOG_INTERVAL = 1045,
    IDC_HTML_INTERVAL = 1046,
    IDC_SPIN_HTML_INTERVAL = 1047,
    IDC_SPIN_LOG_INTERVAL = 1048,
    IDC_TRACK_PATH = 1049,
    IDC_SPIN_LOG_SIZE = 1050,
    IDC_DEBUG_PATH = 1051,
    IDC_USER_PATH = 1052,
    IDC_SPIN_SPAN = 1054,
    IDC_BROWSE_LOG = 1067,
    IDC_BROWSE_HTML = 1068,
    IDC_BROWSE_TRACK = 1069,
    IDC_DELETE_LOG = 1070,
    IDC_DELETE_TRACK = 1071,
    IDC_BROWSE_DEBUG = 1072,
    IDC_DELETE_DEBUG = 1073,
    IDC_BROWSE_USER = 1074,
    IDC_DELETE_USER = 1075,
    IDC_BLIT_FROM_DISPLAY = 1084,
    IDC_USE_BITMAP = 1085,
    IDC_TRACK_SIZE = 1087,
    IDC_LOG_SIZE = 1088,
    IDC_HTML_IMAGE_SIZE = 1098,
    IDC_SPAN = 1100,
    IDC_RETRIES = 1370,
    IDC_DEAD_TIME = 1371,
    IDC_DEBUG_ENABLE = 1377,
    IDC_USER_ENABLE = 1378,
    IDC_FLASH_LED = 1408,
};

// A file row: its edit, Browse button and (where the file is the program's own) Delete button.
struct FileRow {
    const char* label;
    int edit;
    int browse;
    int remove; // 0: none
};
constexpr FileRow kFileRows[] = {
    {"Data log file", IDC_LOG_PATH, IDC_BROWSE_LOG, IDC_DELETE_LOG},
    {"HTML file", IDC_HTML_PATH, IDC_BROWSE_HTML, 0},
    {"Track file", IDC_TRACK_PATH, IDC_BROWSE_TRACK, IDC_DELETE_TRACK},
    {"User file", IDC_USER_PATH, IDC_BROWSE_USER, IDC_DELETE_USER},
    {"Debug file", IDC_DEBUG_PATH, IDC_BROWSE_DEBUG, IDC_DELETE_DEBUG},
};
} // namespace

CPPLogFile::CPPLogFile(OptionsTarget& target) : COptionsPage(target, u"Paths &&  settings"_s) {
    auto* layout = new QVBoxLayout(this);

    auto* files = new QGroupBox(u"Files"_s, this);
    auto* fileGrid = new QGridLayout(files);
    for (int row = 0; row < static_cast<int>(std::size(kFileRows)); ++row) {
        const FileRow& file = kFileRows[row];
        fileGrid->addWidget(Label(QString::fromLatin1(file.label)), row, 0);
        fileGrid->addWidget(Edit(file.edit, 40), row, 1);
        const int edit = file.edit;
        connect(Button(file.browse, u"Browse"_s), &QPushButton::clicked, this,
                [this, edit] { Browse(edit); });
        fileGrid->addWidget(Control(file.browse), row, 2);
        if (file.remove) {
            connect(Button(file.remove, u"Delete"_s), &QPushButton::clicked, this,
                    [this, edit] { Delete(edit); });
            fileGrid->addWidget(Control(file.remove), row, 3);
        }
    }
    QLineEdit* logSize = Edit(IDC_LOG_SIZE, 6);
    fileGrid->addWidget(
        Row({Label(u"Max kB (0 = unlimited)"_s), logSize, UpDown(IDC_SPIN_LOG_SIZE, logSize, 0, 10240)}), 0,
        4);
    QLineEdit* trackSize = Edit(IDC_TRACK_SIZE, 6);
    fileGrid->addWidget(Row({Label(u"Max  kB (0 = unlimited)"_s), trackSize,
                             UpDown(IDC_SPIN_TRACK_SIZE, trackSize, 0, 10240)}),
                        2, 4);
    fileGrid->addWidget(Check(IDC_USER_ENABLE, u"Enable"_s), 3, 4);
    fileGrid->addWidget(Check(IDC_DEBUG_ENABLE, u"Enable"_s), 4, 4);
    layout->addWidget(files);

    auto* settings = new QGroupBox(u"Settings"_s, this);
    auto* grid = new QGridLayout(settings);
    QLineEdit* logInterval = Edit(IDC_LOG_INTERVAL, 6);
    grid->addWidget(Label(u"Interval"_s), 0, 0);
    grid->addWidget(
        Row({logInterval, UpDown(IDC_SPIN_LOG_INTERVAL, logInterval, 3, 50000), Label(u"secs"_s)}), 0, 1);
    grid->addWidget(Check(IDC_LOG_RESULTS, u"Log results"_s), 0, 2);
    QLineEdit* htmlInterval = Edit(IDC_HTML_INTERVAL, 6);
    grid->addWidget(Label(u"HTML update interval"_s), 1, 0);
    grid->addWidget(
        Row({htmlInterval, UpDown(IDC_SPIN_HTML_INTERVAL, htmlInterval, 3, 50000), Label(u"secs"_s)}), 1, 1);
    grid->addWidget(Row({Label(u"Pixels"_s), Edit(IDC_HTML_IMAGE_SIZE, 5)}), 1, 2);
    QLineEdit* span = Edit(IDC_SPAN, 8);
    grid->addWidget(Label(u"Span"_s), 2, 0);
    grid->addWidget(Row({span, UpDown(IDC_SPIN_SPAN, span, 0, 500000), Label(u"mins"_s)}), 2, 1);
    grid->addWidget(Row({Check(IDC_USE_BITMAP, u"Use bitmap"_s),
                         Check(IDC_BLIT_FROM_DISPLAY, u"Blit from display bitmap"_s)}),
                    2, 2);
    grid->addWidget(Label(u"Retries"_s), 3, 0);
    grid->addWidget(Row({Edit(IDC_RETRIES, 5), Label(u"(default 150)"_s)}), 3, 1);
    grid->addWidget(Row({Label(u"Dead time"_s), Edit(IDC_DEAD_TIME, 5), Label(u"ms (default 60ms)"_s)}), 3,
                    2);
    grid->addWidget(
        Row({Check(IDC_DEHEX, u"Translate time codes"_s),
             Check(IDC_DEQUEUE, u"Continuously read error queue"_s), Check(IDC_FLASH_LED, u"Flash LED"_s)}),
        4, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    layout->addWidget(settings);
    layout->addStretch(1);

    for (int id : {IDC_USE_BITMAP, IDC_BLIT_FROM_DISPLAY})
        connect(Control<QCheckBox>(id), &QCheckBox::toggled, this, &CPPLogFile::UpdateBitmapOptions);
}

void CPPLogFile::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    dx.Text(IDC_LOG_PATH, v.m_strLogPath);
    dx.Text(IDC_HTML_PATH, v.m_strHtmlPath);
    dx.Integer(IDC_LOG_INTERVAL, v.m_nLogInterval, u"Log/LogInterval");
    dx.Integer(IDC_HTML_INTERVAL, v.m_nStatusInterval, u"Log/StatusInterval");
    dx.Text(IDC_TRACK_PATH, v.m_strDumpPath);
    dx.Check(IDC_USE_BITMAP, m_target.process.useBitmap);
    dx.Check(IDC_BLIT_FROM_DISPLAY, m_target.process.blitFromDisplay);
    dx.Integer(IDC_TRACK_SIZE, v.m_nTrackMaxSize, u"Sat/MaxFileSize");
    dx.Integer(IDC_HTML_IMAGE_SIZE, v.m_nHtmlImageSize, u"HTML/ImageSize");
    dx.Integer(IDC_SPAN, v.m_nGraphDuration, u"Graph/Duration");
    dx.Integer(IDC_LOG_SIZE, v.m_nLogMaxSize, u"Log/MaxSize");
    dx.Check(IDC_LOG_RESULTS, v.m_bHtmlStatus);
    dx.Check(IDC_DEHEX, v.m_bDeHex);
    dx.Check(IDC_DEQUEUE, v.m_bDeQueue);
    dx.Integer(IDC_RETRIES, v.m_nRetries, u"Time/Retries");
    dx.Text(IDC_DEBUG_PATH, v.m_strDebugPath);
    dx.Check(IDC_DEBUG_ENABLE, v.m_bDebugEnable);
    dx.Integer(IDC_DEAD_TIME, v.m_nTimerValue, u"Timer/Value");
    dx.Text(IDC_USER_PATH, v.m_strUserPath);
    dx.Check(IDC_USER_ENABLE, v.m_bUserToFile);
    dx.Check(IDC_FLASH_LED, v.m_bFlashLED);
}

void CPPLogFile::OnInitDialog() {
    // The time-code translation, the error queue and the LED are of the families that have them.
    const bool shown = m_target.family == RECEIVER_HP || m_target.family == RECEIVER_UCCM;
    for (int id : {IDC_DEHEX, IDC_DEQUEUE, IDC_FLASH_LED})
        Control(id)->setVisible(shown);
    UpdateBitmapOptions();
}

void CPPLogFile::UpdateBitmapOptions() {
    // Images are stretched from the display bitmap only when there is one; their size is the
    // page's own unless they are.
    const bool useBitmap = Control<QCheckBox>(IDC_USE_BITMAP)->isChecked();
    const bool blit = Control<QCheckBox>(IDC_BLIT_FROM_DISPLAY)->isChecked();
    Control(IDC_BLIT_FROM_DISPLAY)->setEnabled(useBitmap);
    Control(IDC_HTML_IMAGE_SIZE)->setEnabled(!(useBitmap && blit));
}

void CPPLogFile::Browse(int editId) {
    auto* edit = Control<QLineEdit>(editId);
    if (const auto chosen = platform::ChooseFile(platform::FileDialogKind::Save, this, edit->text()))
        edit->setText(*chosen);
}

void CPPLogFile::Delete(int editId) {
    // The file the box names now, and only once the operator has said yes to its name.
    const QString path = Control<QLineEdit>(editId)->text();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    if (platform::MessageBox(u"Delete %1?"_s.arg(path), platform::MessageIcon::Question,
                             platform::MessageButtons::YesNo) == platform::MessageResult::Yes)
        QFile::remove(path);
}
