// The "Export graphics" page.
#include "platform/FileDialog.h"
#include "settings/OptionsPages.h"

#include <QGridLayout>
#include <QPushButton>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_BROWSE_GRAPH = 1086,
    IDC_BROWSE_MAP = 1087,
    IDC_EXPORT_WIDTH = 1088,
    IDC_EXPORT_HEIGHT = 1089,
    IDC_GRAPH_PATH = 1091,
    IDC_MAP_PATH = 1092,
    IDC_EXPORT_ALL = 1145,
    IDC_EXPORT_INTERVAL = 1154,
    IDC_TI_OVERRIDE = 1169,
};
// The image formats an export can write; the extension chosen decides the format.
const QString kImageFilter = u"Windows Bitmap (*.bmp);;Portable Network Graphics (*.png);;"
                             "Joint picture group (*.jpg);;GIF files (*.gif)"_s;
} // namespace

CPPExport::CPPExport(OptionsTarget& target) : COptionsPage(target, u"Export graphics"_s) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(Label(u"Size X (pixels)"_s), 0, 0);
    grid->addWidget(Row({Edit(IDC_EXPORT_WIDTH, 5)}), 0, 1);
    grid->addWidget(Label(u"Size Y (pixels)"_s), 1, 0);
    grid->addWidget(Row({Edit(IDC_EXPORT_HEIGHT, 5)}), 1, 1);
    const std::pair<int, int> paths[] = {{IDC_GRAPH_PATH, IDC_BROWSE_GRAPH}, {IDC_MAP_PATH, IDC_BROWSE_MAP}};
    const QString labels[] = {u"Graph path"_s, u"Map path"_s};
    int row = 2;
    for (int i = 0; i < 2; ++i, ++row) {
        const auto [edit, browse] = paths[i];
        grid->addWidget(Label(labels[i]), row, 0);
        grid->addWidget(Edit(edit, 40), row, 1);
        connect(Button(browse, u"Browse"_s), &QPushButton::clicked, this, [this, edit] { Browse(edit); });
        grid->addWidget(Control(browse), row, 2);
    }
    grid->addWidget(Check(IDC_EXPORT_ALL, u"Export all graph data"_s), row++, 0, 1, 2);
    grid->addWidget(Label(u"Auto export every"_s), row, 0);
    grid->addWidget(Row({Edit(IDC_EXPORT_INTERVAL, 8), Label(u"secs"_s)}), row++, 1);
    grid->addWidget(Label(u"Override TI"_s), row, 0);
    grid->addWidget(Row({Edit(IDC_TI_OVERRIDE, 6), Label(u"ns (0 to disable)"_s)}), row++, 1);
    grid->setRowStretch(row, 1);
}

void CPPExport::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    dx.Integer(IDC_EXPORT_WIDTH, v.m_nExportWidth, u"Graph/ExportWidth");
    dx.Integer(IDC_EXPORT_HEIGHT, v.m_nExportHeight, u"Graph/ExportHeight");
    dx.Text(IDC_GRAPH_PATH, v.m_strGraphExportPath);
    dx.Text(IDC_MAP_PATH, v.m_strMapExportPath);
    dx.Check(IDC_EXPORT_ALL, v.m_bExportAllGraph);
    dx.Integer(IDC_EXPORT_INTERVAL, v.m_nExportInterval, u"Export/Interval");
    dx.Integer(IDC_TI_OVERRIDE, v.m_nTiExportMax, u"TIScale/ExportMax");
}

void CPPExport::Browse(int editId) {
    auto* edit = Control<QLineEdit>(editId);
    if (const auto chosen =
            platform::ChooseFile(platform::FileDialogKind::Save, this, edit->text(), kImageFilter))
        edit->setText(*chosen);
}
