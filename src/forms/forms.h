// Forms, the application object, its message loop and message boxes.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "display.h"

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using enum TFormBorderStyle;

enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned;

enum class TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter };
using enum TPosition;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  std::string ClassName() const override { return "TCustomForm"; }

  // Fires OnDestroy (once) while the whole form still exists.
  void BeforeDestruction() override;
  // Fires OnCreate; TApplication::CreateForm calls it after construction.
  void AfterConstruction();

  // Caption is the window title.
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  TFormBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TFormBorderStyle v) { BorderStyle_ = v; }
  TBorderIcons BorderIcons() const { return BorderIcons_; }
  void SetBorderIcons(TBorderIcons v) { BorderIcons_ = v; }
  TPosition Position() const { return Position_; }
  void SetPosition(TPosition v) { Position_ = v; }
  // The window icon (16 x 16 expected); empty = none.
  TBitmap& Icon() { return *Icon_; }

  TWinControl* ActiveControl() const { return ActiveControl_; }
  void SetActiveControl(TWinControl* c);
  // Tab order over TabStop controls.
  void SelectNext(bool forward);

  void Show();
  void Close();  // OnClose; hides (caHide) or, for the main form, ends the loop
  int ShowModal();
  int ModalResult() const { return ModalResult_; }
  void SetModalResult(int v) { ModalResult_ = v; }
  bool Showing() const;

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;

  // Paints what is invalid and presents the changed pixels to the window.
  void UpdateAndPresent();
  // The composed picture: the form's surface with its windowed descendants over it.
  const TSurface& Frame() const { return Frame_; }
  display::Window* NativeWindow() const { return Window_.get(); }
  // Pixels handed to the window so far (benchmarks check a steady window adds none).
  std::uint64_t PresentedPixels() const { return PresentedPixels_; }

  // The control holding the mouse between a press and its release.
  TControl* CaptureControl() const { return Capture_; }
  void SetCaptureControl(TControl* c) { Capture_ = c; }

 protected:
  void WndProc(TMessage& message) override;
  // Native-window settings; the message box makes itself a dialog.
  virtual void FillWindowParams(display::WindowParams& params) const;

 private:
  class TEvents;
  friend class TEvents;
  friend class TWinControl;
  friend class TApplication;
  void CreateNativeWindow();
  // Another window went modal: a press in progress here will get no release.
  void CancelMouseMode();
  void ComposeAndPresent();
  void ControlRemoved(TControl* c);
  void SetHover(TControl* c);
  void SelectFirst();
  display::PixelView FrameView() const;

  TControl* Capture_ = nullptr;
  TControl* Hover_ = nullptr;
  unsigned ButtonsDown_ = 0;
  bool FullPresent_ = false;
  bool InModal_ = false;

  TFormBorderStyle BorderStyle_ = bsSizeable;
  TBorderIcons BorderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition Position_ = poDesigned;
  std::unique_ptr<TBitmap> Icon_;
  TWinControl* ActiveControl_ = nullptr;
  int ModalResult_ = 0;
  bool Created_ = false;
  bool DestroyFired_ = false;
  TSurface Frame_;
  std::unique_ptr<TEvents> Events_;
  std::unique_ptr<display::Window> Window_;
  std::uint64_t PresentedPixels_ = 0;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
  std::string ClassName() const override { return "TForm"; }
};

// Message box flags and results (the classic values).
inline constexpr unsigned MB_OK = 0x00000000;
inline constexpr unsigned MB_OKCANCEL = 0x00000001;
inline constexpr unsigned MB_ICONERROR = 0x00000010;
inline constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
inline constexpr unsigned MB_ICONWARNING = 0x00000030;
inline constexpr unsigned MB_ICONINFORMATION = 0x00000040;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

struct TMessageBoxRequest {
  std::string Text;
  std::string Caption;
  unsigned Flags = 0;
};

class TApplication : public TComponent {
 public:
  // Null display: the platform's default (X11), which throws a clear error
  // when no display can be opened.
  explicit TApplication(std::unique_ptr<display::Display> display = nullptr);
  ~TApplication() override;  // frees the forms (OnDestroy first), last created first
  std::string ClassName() const override { return "TApplication"; }

  void Initialize() {}
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    reference->AfterConstruction();
    if (!MainForm_) MainForm_ = reference;
  }
  TCustomForm* MainForm() const { return MainForm_; }

  // Shows the main form and runs the loop until the main form closes or
  // Terminate is called (a posted quit: the loop ends at its next turn).
  void Run();
  void Terminate();
  bool Terminated() const { return Terminated_; }
  // Handles everything pending (input, sent work, due timers, painting)
  // without waiting.
  void ProcessMessages();
  // One turn of the loop: waits for the next event or timer, then handles it.
  void HandleMessage();
  // Runs the loop for `duration` of the display clock (virtual in headless).
  void RunFor(std::chrono::milliseconds duration);

  // Executable name without extension.
  const std::string& Title() const { return Title_; }
  void SetTitle(const std::string& v) { Title_ = v; }

  // Modal message box; its nested loop keeps timers and painting alive while
  // the other windows take no input. Returns the id of the button pressed.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags = MB_OK);
  // The modal window on top (a message box, a form in ShowModal), or null.
  // While there is one, mouse and keyboard input reach it alone.
  TCustomForm* ModalForm() const { return ModalForms_.empty() ? nullptr : ModalForms_.back(); }
  // Ends the program in order from wherever it is (a termination signal):
  // open modal windows close as their close button would, innermost first,
  // the main form closes, and the loop ends. Before the main form exists,
  // start-up runs to its end and Run returns at once.
  void RequestClose();
  // When set, every open message box asks it on each turn of its modal loop;
  // a value closes the box with that result (headless tests, snapshots).
  std::function<std::optional<int>(const TMessageBoxRequest&)> MessageBoxAnswerer;

  // Default error reporting: an error box with the message and a full stop,
  // the error icon, one OK button, the title as caption.
  void HandleException(const std::exception& e);
  std::function<void(TObject* Sender, const std::exception& e)> OnException;
  // Runs fn; an exception escaping it goes to HandleException.
  void SafeCall(const std::function<void()>& fn);

  display::Display& Display() { return *Display_; }
  std::chrono::steady_clock::time_point Now() const;

  // Internal: timers and forms register here.
  class TTimerHandle;
  void RegisterForm(TCustomForm* form);
  void UnregisterForm(TCustomForm* form);
  const std::vector<TCustomForm*>& Forms() const { return Forms_; }

 private:
  friend class TTimer;
  friend class TCustomForm;
  // Makes a form the modal window for the scope's lifetime.
  class TModalScope {
   public:
    explicit TModalScope(TCustomForm* form);
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;

   private:
    TCustomForm* Form_;
  };
  // One turn of the loop, waiting at most `limit` (and no longer than the next timer).
  void Turn(std::optional<std::chrono::steady_clock::duration> limit);
  // What every turn does besides waiting: sent work, due timers, painting.
  void RunDueWork();
  void PaintAll();
  void FireDueTimers();
  std::optional<std::chrono::steady_clock::duration> TimeToNextTimer() const;

  std::unique_ptr<display::Display> Display_;
  TCustomForm* MainForm_ = nullptr;
  std::vector<TCustomForm*> Forms_;
  std::vector<class TTimer*> Timers_;
  bool Terminated_ = false;
  std::string Title_;
  std::vector<TCustomForm*> ModalForms_;
};

// The one application object (set by TApplication's constructor).
extern TApplication* Application;
