// The view's image export: the graph and the map to their export paths. A picture that cannot be
// written is said once, as the page's pictures are.
#include "app/ChildView.h"
#include "platform/TickCount.h"

namespace {
// Channel 2's holds and limits, put back when the export's override of them ends.
class KeptChannelExtents {
public:
    KeptChannelExtents(ViewSettings& view, std::size_t channel)
        : m_view(view), m_channel(channel), m_holdMin(view.m_bHoldMin[channel]),
          m_holdMax(view.m_bHoldMax[channel]), m_min(view.m_dMin[channel]), m_max(view.m_dMax[channel]) {}
    ~KeptChannelExtents() {
        m_view.m_bHoldMin[m_channel] = m_holdMin;
        m_view.m_bHoldMax[m_channel] = m_holdMax;
        m_view.m_dMin[m_channel] = m_min;
        m_view.m_dMax[m_channel] = m_max;
    }
    KeptChannelExtents(const KeptChannelExtents&) = delete;
    KeptChannelExtents& operator=(const KeptChannelExtents&) = delete;

private:
    ViewSettings& m_view;
    std::size_t m_channel;
    bool m_holdMin;
    bool m_holdMax;
    double m_min;
    double m_max;
};
} // namespace

void CChildView::ExportImages() {
    m_dwLastExport = platform::GetTickCount();
    const QRect size(0, 0, m_nExportWidth, m_nExportHeight);
    if (!m_strGraphExportPath.isEmpty()) {
        const KeptChannelExtents kept(*this, kTimeIntervalChannel);
        if (m_nTiExportMax > 0) {
            // The scale is applied as it stands, in the units channel 2 is plotted in.
            m_bHoldMin[kTimeIntervalChannel] = true;
            m_bHoldMax[kTimeIntervalChannel] = true;
            m_dMax[kTimeIntervalChannel] = m_nTiExportMax;
            m_dMin[kTimeIntervalChannel] = -static_cast<double>(m_nTiExportMax);
        }
        ReportPictureWrite(ReportedOutput::ExportedGraph, QStringLiteral("the exported graph"),
                           m_wndGraph.ExportImage(m_strGraphExportPath, false, m_bExportAllGraph, size));
    }
    if (!m_strMapExportPath.isEmpty())
        ReportPictureWrite(ReportedOutput::ExportedMap, QStringLiteral("the exported map"),
                           m_wndMap.ExportImage(m_strMapExportPath, false, size));
}
