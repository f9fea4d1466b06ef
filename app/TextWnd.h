#pragma once
// The text window of the display area: the big time line in the Time view, the status screen
// otherwise.
#include <QString>
#include <QWidget>

class CChildView;

class CTextWnd : public QWidget {
    Q_OBJECT

public:
    explicit CTextWnd(CChildView* owner);

    QString m_strText;

    // Draws the window's text into a painter covering rect (also used for snapshots in tests).
    void Draw(QPainter& painter, const QRect& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CChildView* m_pOwner;
};

// Splits a status text into the lines the text window draws: line 0 runs to the first CR, each
// next line starts two characters after the previous CR; at most maxLines lines.
QStringList StatusScreenLines(const QString& text, int maxLines = 23);
