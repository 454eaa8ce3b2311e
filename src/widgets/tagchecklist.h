#pragma once

// TOvCheckList, the tag check list: an owner-drawn, single-selection list
// whose rows carry a check state and an enabled flag. Rows whose text begins
// with "//" are group headings: drawn bold across the full width, without a
// box, and never toggled or counted.

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace brindle::widgets {

enum class SystemColor;

enum class TCheckBoxState : quint8
{
    cbUnchecked = 0,
    cbChecked = 1,
    cbGrayed = 2
};

// Per-row record, kept parallel to the row texts.
struct TPacket
{
    TCheckBoxState State = TCheckBoxState::cbUnchecked;
    bool Enabled = true;

    friend bool operator==(const TPacket &, const TPacket &) = default;
};

class TOvCheckList;

// The list's rows: texts with their records at the same index. Every change
// is reported to the owning list so that it can keep its current row, its
// scroll range and its picture in step.
class TOvCheckListStrings
{
public:
    static constexpr char16_t kGroupPrefix[] = u"//";

    TOvCheckListStrings(const TOvCheckListStrings &) = delete;
    TOvCheckListStrings &operator=(const TOvCheckListStrings &) = delete;

    int Count() const { return int(m_texts.size()); }
    const QStringList &texts() const { return m_texts; }
    QString strings(int index) const;
    // Replaces the text; the row keeps its record and stays current if it was.
    void setStrings(int index, const QString &text);
    const TPacket &packet(int index) const;

    int add(const QString &text);
    // index may equal Count (append).
    void insert(int index, const QString &text);
    void remove(int index);
    void move(int currentIndex, int newIndex);
    void exchange(int index1, int index2);
    void clear();
    // Replaces all rows; every row unchecked and enabled.
    void assign(const QStringList &texts);

private:
    friend class TOvCheckList;
    explicit TOvCheckListStrings(TOvCheckList *owner) : m_owner(owner) {}

    void checkIndex(int index) const;
    TPacket &packetRef(int index);

    TOvCheckList *m_owner;
    QStringList m_texts;
    QList<TPacket> m_packets;
};

class TOvCheckList : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(bool AllowGrayed READ AllowGrayed WRITE setAllowGrayed)
    Q_PROPERTY(bool ToggleOnItemClick READ ToggleOnItemClick WRITE setToggleOnItemClick)
    Q_PROPERTY(int ItemHeight READ ItemHeight WRITE setItemHeight)
    Q_PROPERTY(bool IncrementalSearch READ IncrementalSearch WRITE setIncrementalSearch)
    Q_PROPERTY(bool BeepOnInvalidKey READ BeepOnInvalidKey WRITE setBeepOnInvalidKey)
    Q_PROPERTY(bool FrameVisible READ FrameVisible WRITE setFrameVisible)
    Q_PROPERTY(QFont GroupFont READ GroupFont WRITE setGroupFont)
    Q_PROPERTY(QColor GroupColor READ GroupColor WRITE setGroupColor)
    Q_PROPERTY(bool UseGradients READ UseGradients WRITE setUseGradients)
    Q_PROPERTY(QColor ItemFrameColor READ ItemFrameColor WRITE setItemFrameColor)
    Q_PROPERTY(QColor ItemFillColor READ ItemFillColor WRITE setItemFillColor)
    Q_PROPERTY(QColor ItemFocusColor READ ItemFocusColor WRITE setItemFocusColor)
    Q_PROPERTY(QColor HighlightColor READ HighlightColor WRITE setHighlightColor)
    Q_PROPERTY(QColor DisabledColor READ DisabledColor WRITE setDisabledColor)

public:
    static constexpr int kBoxSize = 13;
    static constexpr int kBoxColumn = kBoxSize + 4; // presses left of this x toggle
    static constexpr int kTextIndent = kBoxSize + 8;
    static constexpr int kSearchTimeoutMs = 1500;

    explicit TOvCheckList(QWidget *parent = nullptr);
    ~TOvCheckList() override;

    TOvCheckListStrings &Items() { return m_items; }
    const TOvCheckListStrings &Items() const { return m_items; }
    void setRows(const QStringList &texts);
    int Count() const { return m_items.Count(); }

    bool IsRowChecked(int row) const;
    void SetRowChecked(int row, bool checked);
    TCheckBoxState RowState(int row) const;
    // Stores the state without any signal; repaints only the row's box area.
    void SetRowState(int row, TCheckBoxState state);
    bool IsRowEnabled(int row) const;
    void SetRowEnabled(int row, bool enabled);
    bool IsGroupRow(int row) const;
    void CheckAllRows();
    void UncheckAllRows();
    // Group rows and grayed rows are not counted.
    int CountCheckedRows() const;
    int FindRowByText(const QString &text) const;

    int ItemIndex() const { return m_itemIndex; }
    // Moves the highlight without a signal; -1 removes it.
    void setItemIndex(int row);

    // The user's toggle of the current row: OnChanging may veto, then the
    // state is stored and OnChange fires.
    void ToggleCurrentRow();

    bool AllowGrayed() const { return m_allowGrayed; }
    void setAllowGrayed(bool value) { m_allowGrayed = value; }
    bool ToggleOnItemClick() const { return m_toggleOnItemClick; }
    void setToggleOnItemClick(bool value) { m_toggleOnItemClick = value; }
    int ItemHeight() const { return m_itemHeight; }
    void setItemHeight(int value);
    bool IncrementalSearch() const { return m_incrementalSearch; }
    void setIncrementalSearch(bool value);
    bool BeepOnInvalidKey() const { return m_beepOnInvalidKey; }
    void setBeepOnInvalidKey(bool value) { m_beepOnInvalidKey = value; }
    bool FrameVisible() const { return m_frameVisible; }
    void setFrameVisible(bool value);
    bool UseGradients() const { return m_useGradients; }
    void setUseGradients(bool value);

    // Defaults to the list's font in bold.
    QFont GroupFont() const;
    void setGroupFont(const QFont &font);

    // Colours follow the palette until set; an invalid colour restores that.
    QColor GroupColor() const; // clWindow
    void setGroupColor(const QColor &color);
    QColor ItemFrameColor() const; // clBtnShadow
    void setItemFrameColor(const QColor &color);
    QColor ItemFillColor() const; // clWindow
    void setItemFillColor(const QColor &color);
    QColor ItemFocusColor() const; // clWindow
    void setItemFocusColor(const QColor &color);
    QColor HighlightColor() const; // clHighlight
    void setHighlightColor(const QColor &color);
    QColor DisabledColor() const; // clBtnFace
    void setDisabledColor(const QColor &color);

    // With themes the boxes come from the style and there is no frame;
    // without, boxes are flat squares and FrameVisible draws a 1-px frame.
    bool isThemed() const { return m_themed; }
    void setThemed(bool themed);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Geometry in viewport coordinates, for the visible rows.
    QRect rowRect(int row) const;
    QRect boxRect(int row) const;
    // The area a state change repaints: the box column, inset vertically.
    QRect boxArea(int row) const;
    // -1 when no row lies at that point.
    int rowAt(const QPoint &viewportPos) const;
    int topIndex() const;

signals:
    // Handlers must be connected directly: allowChange points to a local.
    void OnChanging(int index, brindle::widgets::TCheckBoxState newState, bool *allowChange);
    void OnChange(int index, brindle::widgets::TCheckBoxState newState);
    // The user moved the current row (mouse or keyboard); not setItemIndex.
    void currentRowChanged(int row);
    // A row's state changed, by the user or by the program.
    void rowStateChanged(int row);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

    // Seams for tests: the invalid-key signal and the search clock.
    virtual void beep();
    virtual qint64 msecsNow() const;

private:
    friend class TOvCheckListStrings;

    void checkRow(int row) const;
    void rowsInserted(int index);
    void rowRemoved(int index);
    void rowMoved(int from, int to);
    void rowsExchanged(int index1, int index2);
    void rowsReset();
    void rowTextChanged(int index);

    void userSetCurrent(int row);
    void setCurrent(int row, bool notify);
    void ensureVisible(int row);
    int visibleRows() const;
    void updateScrollRange();
    void updateFrameMargins();
    void forgetSearch();
    void searchTyped(const QString &text);
    void searchBackspace();
    void searchFor(const QString &text);
    bool navigate(int key);

    QRect visual(const QRect &logical) const;
    Qt::Alignment textAlignment() const;
    bool inBoxColumn(const QPoint &viewportPos) const;
    QColor listBackground() const;
    QColor resolved(const QColor &set, widgets::SystemColor color) const;
    void paintRow(QPainter &p, int row, const QRect &r) const;
    void paintBox(QPainter &p, const QRect &box, const TPacket &packet) const;
    void paintFocusRect(QPainter &p, const QRect &r, const QColor &color) const;

    TOvCheckListStrings m_items{this};
    int m_itemIndex = -1;
    int m_itemHeight = 16;
    bool m_allowGrayed = false;
    bool m_toggleOnItemClick = false;
    bool m_incrementalSearch = true;
    bool m_beepOnInvalidKey = true;
    bool m_frameVisible = true;
    bool m_useGradients = false;
    bool m_themed = true;
    std::optional<QFont> m_groupFont;
    QColor m_groupColor, m_itemFrameColor, m_itemFillColor, m_itemFocusColor, m_highlightColor,
        m_disabledColor;

    int m_mouseArmedRow = -1;
    bool m_spaceArmed = false;
    QString m_searchText;
    qint64 m_lastSearchKey = 0;
    QElapsedTimer m_clock;
};

} // namespace brindle::widgets
