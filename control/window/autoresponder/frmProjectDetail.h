#pragma once
// The autoresponder editor: the settings and events of one autoresponder on the first
// tab, its subscribers on the second. The settings are written only by Close; events and
// subscribers are written as the operator changes them.
#include "control/autoresponders/AutoresponderSettings.h"
#include "control/program/ControlContext.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;

namespace ar {

class SubscriberGrid;
class SubscriberGridModel;

class frmProjectDetail : public QWidget {
  Q_OBJECT
 public:
  // Loads the autoresponder in CurrentAutoresponderID(); the editor keeps working on that
  // one whatever the shared value becomes later.
  explicit frmProjectDetail(const ControlContext& context, QWidget* parent = nullptr);

  int64_t AutoresponderID() const { return autoresponderId_; }

  // What other windows call: the event editor after it saves, the import after it ends.
  // Reloading the events keeps the selected event selected while it is still there.
  void ReloadEvents();
  void ReloadSubscribers();

  // The subscriber grid and its rows, for the import, export and find windows.
  SubscriberGrid* SubscriberView() const { return gridSubscribers_; }
  SubscriberGridModel* SubscriberModel() const { return subscriberModel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildSettingsTab();
  QWidget* BuildSubscribersTab();
  void LoadSettings();
  void ShowSettings(const AutoresponderSettings& s);
  AutoresponderSettings SettingsShown() const;
  void ShowIMAPFolder();
  // The time box written back as "H:NNam/pm"; false (after the message, with the box
  // emptied) when it holds no time of day.
  bool NormaliseTimeBox();
  void UpdateTotals();
  int SelectedEventRow() const;
  void SelectEvent(int64_t eventId);
  // Commits an address being typed in the grid; false when the address was refused.
  bool CommitSubscriberEdit();
  void EditSubscriberAddress(int row, const QString& text);
  // Opens another window on this editor's autoresponder.
  void OpenOnThis(const std::function<void(QWidget*)>& opener);
  void Trap(const char* procedure, const std::string& error);
  void CloseEditor();

  void cmdClose_Click();
  void cmdCancel_Click();
  void cmdTestPOPServer_Click();
  void cmdNew_Click();
  void cmdEditEvents_Click();
  void cmdDeleteEvent_Click();
  void cmdNewSubscriber_Click();
  void cmdDeleteSubscriber_Click();
  void AddressRefused(int row, int problem, const QString& typed);
  void SubscriberAdded();

  ControlContext context_;
  int64_t autoresponderId_;

  QTabWidget* tabs_;
  QLineEdit* txtAutoreponderName_;
  QLineEdit* txtTimeOfDayToRespond_;
  QCheckBox* cbActive_;
  QLabel* lblTotalSubscribers_;
  QComboBox* clbResponseServerType_;
  QLabel* lblResponseIMAPFolder_;
  QLineEdit* txtResponseIMAPFolder_;
  QLineEdit* txtPOPServer_;
  QLineEdit* txtPOPUsername_;
  QLineEdit* txtPOPPassword_;
  QCheckBox* cbEnablePOPSSL_;
  QTableView* gridEvents_;
  QStandardItemModel* eventModel_;
  SubscriberGrid* gridSubscribers_;
  SubscriberGridModel* subscriberModel_;
  QLabel* lblTotalSubscribers1_;
};

// Opens the editor on CurrentAutoresponderID() as a window of the main frame; when one is
// already open on that autoresponder, that one comes to the front instead.
void OpenProjectDetail(QMdiArea& area, const ControlContext& context);

}  // namespace ar
