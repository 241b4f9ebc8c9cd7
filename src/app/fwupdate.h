#pragma once
// The main window TQ71xFwTool: the operator's one window and, at the same time, the program's
// state record that every update procedure reads. Controls keep their layout names; handlers
// are named control plus event. The bodies live in files of their own: layout, device refresh
// and hot-plug, chip check, run dispatch, engineering options, file loading.

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "src/app/window_timers.h"
#include "src/device/discovery.h"
#include "src/update/tool_window.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QSocketNotifier;

namespace q71x {

class TLabeledEdit;

// Hot-plug debounce: the window timer's id and its two delays.
inline constexpr int kHotPlugTimerId = 2;
inline constexpr int kArrivalDelayMs = 1200;
inline constexpr int kOtherChangeDelayMs = 200;
// Device-change event codes as the notification carries them.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDevNodesChanged = 0x0007;

inline constexpr int kClientWidth = 347;
inline constexpr int kClientHeight = 420;
inline constexpr int kRdPanelHeight = 129;

// What the open-file dialog keeps between uses (it serves firmware and backup files alike).
struct OpenDialogSettings {
  std::string Filter;
  std::string InitialDir;
};

class TQ71xFwTool : public QWidget, public ToolWindow {
  Q_OBJECT

 public:
  // Builds the window in the order start-up wants: controls, EraseOnly, device refresh,
  // "RD Version" handler, then FormCreate. `timers` null: real Qt timers.
  explicit TQ71xFwTool(std::unique_ptr<WindowTimers> timers = nullptr, QWidget* parent = nullptr);
  // Releases the hot-plug registration, then closes the bridge session of every CD-ROM-class
  // device of the list.
  ~TQ71xFwTool() override;

  // Controls of the window.
  TLabeledEdit* ChipLabelEdit = nullptr;
  QPushButton* RefreshBtn = nullptr;
  QLabel* diskLabel = nullptr;
  QComboBox* DeviceList = nullptr;
  TLabeledEdit* FwFilenameEdit = nullptr;
  QPushButton* LoadBtn = nullptr;
  TLabeledEdit* DiskLetterLable = nullptr;
  TLabeledEdit* FwVerLableEdit = nullptr;
  TLabeledEdit* SFlashTypeLable = nullptr;
  QLabel* FwPgBurnSizeLabel = nullptr;
  QComboBox* FwPgSizeCheck = nullptr;
  QLabel* FlashTypeLabel = nullptr;
  QComboBox* FlashTypeList = nullptr;
  TLabeledEdit* StatusEdit = nullptr;
  QCheckBox* RdCheckBox = nullptr;
  QPushButton* UpdateBtn = nullptr;
  QPushButton* ExitBtn = nullptr;
  QFrame* Panel1 = nullptr;
  QFrame* RdPanel = nullptr;
  // Controls of the engineering panel.
  QCheckBox* A1ChipCheck = nullptr;
  QCheckBox* ChkSumChk = nullptr;
  QComboBox* QV958Path = nullptr;
  QCheckBox* EraseOnlyCheck = nullptr;
  QCheckBox* NVRAMCheck = nullptr;
  QCheckBox* BackupFWCheckBox = nullptr;
  QPushButton* BackupBtn = nullptr;
  QComboBox* FwSizeCheck = nullptr;
  QLabel* FwSizeLable = nullptr;
  TLabeledEdit* BackupFileEdit = nullptr;
  OpenDialogSettings OpenDialog1;

  // Device list state: entry i belongs to item i of DeviceList.
  std::array<DeviceEntry, kMaxDevices> Devices{};
  std::int32_t DeviceCount = 0;
  // Whether the device-change registration is held.
  bool DevNotify = false;

  // Event handlers.
  void FormCreate();
  void RefreshBtnClick(QObject* sender);
  void UpdateBtnCheck(QObject* sender);
  void LoadBtnClick(QObject* sender);
  void UpdateBtnClick(QObject* sender);
  void EraseOnlyCheckClick(QObject* sender);
  void RdCheckBoxClick(QObject* sender);
  void BackupBtnClick(QObject* sender);
  void FwSizeCheckChange(QObject* sender);
  void FwPgSizeCheckChange(QObject* sender);
  void ExitBtnClick(QObject* sender);
  // The window's own messages: device change (event code), timer (id), dropped files (names).
  void DeviceChangeMsg(std::uint32_t eventCode);
  void TimerMsg(int timerId);
  void DropFilesMsg(const QStringList& fileNames);

  // The selected device's entry index, or -1 when the list is empty or no item is selected (an
  // operator can type into the list); every handler treats -1 like an empty list.
  int SelectedDeviceIndex() const;
  std::uint16_t ChipIdentity() const;
  bool ProcedureRunning() const { return procedureRunning_; }

  // ToolWindow: what the update procedures see.
  ChipState& State() override { return state_; }
  ProgramSettings& Settings() override { return settings_; }
  void PostStatus(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  std::string StatusText() const override;
  void RedrawStatus() override;
  void ProcessMessages() override;
  std::string FirmwareFileName() const override;
  std::string BackupFileName() const override;
  bool RdVersionTicked() const override;
  bool EraseOnlyTicked() const override;
  bool BackupOnlyTicked() const override;
  bool NvramTicked() const override;
  bool A1ChipTicked() const override;
  bool ChecksumTicked() const override;
  int ParallelFlashPartIndex() const override;
  void SetNvramTicked(bool ticked) override;

 signals:
  // A procedure started by Run has returned (the simulator keeps its memories then).
  void ProcedureFinished();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
#ifdef Q_OS_WIN
  // WM_DEVICECHANGE from the USB device-interface registration goes to DeviceChangeMsg.
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  friend class ProcedureScope;

  void BuildLayout();
  void ConnectHandlers();
  // Sets a field's text and runs its change handler even when the text did not change, as an
  // edit control reports every text it is given.
  void SetFileNameText(const QString& text);
  // Shows OpenDialog1 (starting in the program's folder the first time). Nothing when the
  // operator cancelled or chose a name too long to be taken whole (the status says so).
  std::optional<QString> RunOpenDialog1();
  // Runs `event` now, or after the running procedure has returned.
  void RunOrDefer(std::function<void()> event);
  void ReplayDeferredEvents();
  // Chip-check pieces (chip_check.cpp).
  void ShowSerialFlashLayout();
  void ShowDiskKeptLayout(const std::string& path);
  void ShowParallelFlashLayout();
  void ShowUnsupportedLayout();
  void ShowFirmwareVersion(const std::string& path);
  // Run decision shared by the chip check and the action boxes: the typed or loaded file name
  // matches the chip (a name of 260 characters or more never does, and says so).
  bool FileNameMatchesChip();

  ChipState state_;
  ProgramSettings settings_;
  std::unique_ptr<WindowTimers> timers_;
  QSocketNotifier* hotPlugNotifier_ = nullptr;
  void* usbNotification_ = nullptr;  // Windows: the device-interface registration
  int lastParallelFlashPart_ = 0;
  bool procedureRunning_ = false;
  bool closeRequested_ = false;
  std::vector<std::function<void()>> deferred_;
};

}  // namespace q71x
