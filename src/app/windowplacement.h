#pragma once

// The placement store (TOvCCompRegWdwState): remembers the main window's
// position, size and state between runs. The base class holds everything that
// does not depend on where the five values live; the settings-file class below
// stores them.

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <QWindow>

#include <functional>

namespace brindle::app {

// The five stored values: the outer (frame included) normal rectangle in
// desktop coordinates, and 0 normal, 1 minimized, 2 maximized.
struct StoredPlacement
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int state = 0;
    // False where the platform does not tell a window's position (Wayland):
    // left and top mean nothing then, and the stored ones are kept.
    bool positionKnown = true;

    friend bool operator==(const StoredPlacement &, const StoredPlacement &) = default;
};

class TOvCCompCustomWdwState : public QObject
{
    Q_OBJECT

public:
    enum PlacementOption
    {
        woIgnoreState = 0x1,
        woIgnoreSize = 0x2,
        woFitWorkArea = 0x4,
    };
    Q_DECLARE_FLAGS(PlacementOptions, PlacementOption)

    // A handler value of kKeepCurrent puts that value back to the window's own.
    static constexpr int kKeepCurrent = 2147483647;
    static constexpr int kDefaultMinimizeDelay = 100;

    // Called after the stored values have been read; may change them.
    using ReadWdwStateEvent =
        std::function<void(QObject *sender, int &left, int &top, int &width, int &height, int &state)>;

    // owner must be a top-level window holding no other such component;
    // otherwise brindle::Error. The component is a child of owner.
    explicit TOvCCompCustomWdwState(QObject *owner);
    ~TOvCCompCustomWdwState() override;

    QWidget *window() const { return m_window; }

    bool AutoSaveRestore() const { return m_autoSaveRestore; }
    void setAutoSaveRestore(bool on) { m_autoSaveRestore = on; }
    PlacementOptions Options() const { return m_options; }
    void setOptions(PlacementOptions options) { m_options = options; }
    bool IgnoreState() const { return m_options.testFlag(woIgnoreState); }
    void setIgnoreState(bool on) { m_options.setFlag(woIgnoreState, on); }
    int MinimizeDelay() const { return m_minimizeDelay; }
    void setMinimizeDelay(int ms) { m_minimizeDelay = ms; }

    ReadWdwStateEvent OnReadWdwState;

    // Before the first showing this only marks the restore as pending.
    void RestorePlacement();
    void SavePlacement();

    // The window's placement as it would be stored now.
    StoredPlacement currentPlacement() const;

protected:
    // Storage: the base class has none, so nothing is read or written.
    virtual void LoadPlacement(StoredPlacement &placement);
    virtual void StorePlacement(const StoredPlacement &placement);
    void LoadPlacementNotify(StoredPlacement &placement);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void firstShown();
    void frameKnown();
    void applyRect(const StoredPlacement &p);
    void applyState(int state);
    bool liftSizeLimits();
    void restoreSizeLimits();
    void restoreSizeLimitsWhenBack();
    void setFlagsInPlace(Qt::WindowFlags flags);
    void checkMaximized();
    QMargins frameMargins() const;
    void rememberFrame();
    void watchNativeWindow();

    QPointer<QWidget> m_window;
    QPointer<QWindow> m_handle;
    bool m_autoSaveRestore = false;
    PlacementOptions m_options;
    int m_minimizeDelay = kDefaultMinimizeDelay;
    bool m_shown = false;
    bool m_restorePending = false;
    bool m_waitingForFrame = false;
    // Frame sizes are only known while the window is on screen, so the last
    // ones seen are kept for the save at destruction.
    QMargins m_frame;
    // A fixed-size window is maximized with its limits lifted; they are kept
    // here until it is restored.
    bool m_limitsLifted = false;
    bool m_restoreWaiting = false;
    QSize m_fixedMinimum;
    QSize m_fixedMaximum;
    Qt::WindowFlags m_fixedFlags;
    // Set while the window has not grown after a maximizing asked for.
    bool m_maximizeAsked = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TOvCCompCustomWdwState::PlacementOptions)

// Roots of the store. The user's root is the per-user configuration folder,
// the machine's root the first system one (XDG_CONFIG_DIRS).
enum class StoreRoot
{
    User,
    Machine,
};

class TOvCCompRegWdwState : public TOvCCompCustomWdwState
{
    Q_OBJECT

public:
    // Called before every access to the store; may change both.
    using GetRegDataEvent = std::function<void(StoreRoot &rootKey, QString &subKey)>;

    explicit TOvCCompRegWdwState(QObject *owner);

    StoreRoot RootKey() const { return m_rootKey; }
    void setRootKey(StoreRoot root) { m_rootKey = root; }
    // Empty means the default "\Software\<program file>\Window\<window name>".
    QString SubKey() const;
    void setSubKey(const QString &subKey) { m_subKey = subKey; }

    GetRegDataEvent OnGetRegData;

    // The settings file behind a root, and the group a key path maps to.
    static QString storeFile(StoreRoot root);
    static QString groupOf(const QString &subKey);

protected:
    void LoadPlacement(StoredPlacement &placement) override;
    void StorePlacement(const StoredPlacement &placement) override;

private:
    std::pair<StoreRoot, QString> location();

    StoreRoot m_rootKey = StoreRoot::User;
    QString m_subKey;
};

} // namespace brindle::app
