#include "control/window/settings/frmConfiguration.h"

#include "base/DayNumber.h"
#include "control/window/settings/frmTestSMTPServer.h"
#include "store/Schema.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace ar {
namespace {

QLabel* AddLabel(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

QLineEdit* AddText(QWidget* parent, const char* name) {
  auto* text = new QLineEdit(parent);
  text->setObjectName(name);
  return text;
}

QCheckBox* AddCheck(QWidget* parent, const char* name, const char* text = "") {
  auto* check = new QCheckBox(text, parent);
  check->setObjectName(name);
  return check;
}

// A field for a few characters (a time, a number of minutes), with what follows it.
QHBoxLayout* Short(QWidget* field, QWidget* after = nullptr) {
  field->setMaximumWidth(field->fontMetrics().horizontalAdvance(QString(12, '0')));
  auto* row = new QHBoxLayout;
  row->addWidget(field);
  if (after) row->addWidget(after);
  row->addStretch();
  return row;
}

QPushButton* AddButton(QWidget* parent, const char* name, const char* text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  return button;
}

}  // namespace

frmConfiguration::frmConfiguration(Connection& config, QWidget* parent) : QWidget(parent), config_(config) {
  setObjectName("frmConfiguration");
  setWindowTitle("Configuration");

  auto* outgoing = new QGroupBox("Outgoing Mail Settings", this);
  auto* mail = new QGridLayout(outgoing);
  mail->addWidget(AddLabel(outgoing, "lblSMTPServer", "SMTP Server:"), 0, 0);
  mail->addWidget(AddText(outgoing, "txtSMTPServer"), 0, 1);
  mail->addWidget(AddLabel(outgoing, "lblSMTPUsername", "Username:"), 1, 0);
  mail->addWidget(AddText(outgoing, "txtSMTPUsername"), 1, 1);
  mail->addWidget(AddLabel(outgoing, "lblSMTPPassword", "Password:"), 2, 0);
  QLineEdit* password = AddText(outgoing, "txtSMTPPassword");
  password->setEchoMode(QLineEdit::Password);
  mail->addWidget(password, 2, 1);
  mail->addWidget(AddCheck(outgoing, "cbEnableSMTPSSL", "This server requires an encrypted connection  (SSL)"), 3, 1);
  mail->addWidget(AddLabel(outgoing, "lblHELOName", "HELO name (optional):"), 4, 0);
  mail->addWidget(AddText(outgoing, "txtHELOName"), 4, 1);
  mail->addWidget(AddLabel(outgoing, "lblSMTPSessions", "SMTP sessions at once:"), 5, 0);
  const std::string sessionsHint = "(1 to " + std::to_string(kMaxSmtpSessions) + "; more for a distant relay)";
  mail->addLayout(Short(AddText(outgoing, "txtSMTPSessions"),
                        AddLabel(outgoing, "lblSMTPSessionsHint", sessionsHint.c_str())),
                  5, 1);
  QPushButton* test = AddButton(outgoing, "cmdTestSMTPServer", "&Test SMTP Server");
  mail->addWidget(test, 6, 1, Qt::AlignRight);
  connect(test, &QPushButton::clicked, this, &frmConfiguration::TestSMTPServer);

  auto* admin = new QGroupBox("Administrator Settings", this);
  auto* settings = new QGridLayout(admin);
  settings->addWidget(AddCheck(admin, "cbEnablePreflight",
                               "Always run a preflight check before sending event emails (if errors are detected "
                               "then the emails will not be sent)"),
                      0, 0, 1, 3);
  settings->addWidget(AddLabel(admin, "lblEnableDailySummaryEmail", "Enable daily summary email:"), 1, 0);
  QCheckBox* daily = AddCheck(admin, "cbEnableDailySummaryEmail");
  settings->addWidget(daily, 1, 1);
  summaryControls_ = {AddLabel(admin, "lblSummaryReportEmail", "Send all reports to:"),
                      AddText(admin, "txtSummaryReportEmail"),
                      AddLabel(admin, "lblSummaryReportEmailHint", "Enter email addresses separated by commas"),
                      AddLabel(admin, "lblSummaryReportEmailTime", "Time to send summary report:"),
                      AddText(admin, "txtSummaryReportEmailTime")};
  settings->addWidget(summaryControls_[0], 2, 0);
  settings->addWidget(summaryControls_[1], 2, 1);
  settings->addWidget(summaryControls_[2], 3, 1);
  settings->addWidget(summaryControls_[3], 4, 0);
  settings->addLayout(Short(summaryControls_[4]), 4, 1);
  settings->addWidget(AddLabel(admin, "lblPOPCycleMinutes", "POP account monitoring cycle:"), 5, 0);
  settings->addLayout(Short(AddText(admin, "txtPOPCycleMinutes"), AddLabel(admin, "lblPOPCycleUnit", "(minutes)")),
                      5, 1);
  settings->setColumnStretch(1, 1);
  connect(daily, &QCheckBox::toggled, this, &frmConfiguration::ApplySummaryEmailState);
  Text("txtSummaryReportEmailTime")->installEventFilter(this);

  QPushButton* save = AddButton(this, "cmdSave", "&Save");
  QPushButton* cancel = AddButton(this, "cmdCancel", "&Cancel");
  connect(save, &QPushButton::clicked, this, &frmConfiguration::Save);
  connect(cancel, &QPushButton::clicked, this, &frmConfiguration::CloseWindow);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(outgoing);
  layout->addWidget(admin);
  layout->addStretch();
  layout->addLayout(buttons);

  // A text field whose column has a size takes no more than it can hold.
  for (const ConfigurationField& field : ConfigurationFields())
    if (field.maxChars) Text(field.control)->setMaxLength(static_cast<int>(field.maxChars));
  Load();
}

QLineEdit* frmConfiguration::Text(const char* name) const { return findChild<QLineEdit*>(name); }

QCheckBox* frmConfiguration::Check(const char* name) const { return findChild<QCheckBox*>(name); }

void frmConfiguration::Load() {
  try {
    const ConfigurationValues values = LoadConfiguration(config_);
    for (const ConfigurationField& field : ConfigurationFields()) {
      const ConfigurationValue& value = values.at(field.column);
      if (field.kind == ConfigurationFieldKind::YesNo)
        Check(field.control)->setChecked(value.checked);
      else
        Text(field.control)->setText(QString::fromStdString(value.text));
    }
  } catch (const std::exception& e) {
    // Saving what could not be read would overwrite the stored settings with blanks.
    findChild<QPushButton*>("cmdSave")->setEnabled(false);
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
  }
  ApplySummaryEmailState();
}

ConfigurationValues frmConfiguration::Values() const {
  ConfigurationValues values;
  for (const ConfigurationField& field : ConfigurationFields()) {
    ConfigurationValue& value = values[field.column];
    if (field.kind == ConfigurationFieldKind::YesNo)
      value.checked = Check(field.control)->isChecked();
    else
      value.text = Text(field.control)->text().toStdString();
  }
  return values;
}

void frmConfiguration::Save() {
  try {
    SaveConfiguration(config_, Values());
  } catch (const std::exception& e) {
    MessageBoxes::Show(this, std::string("Error: ") + e.what(), "", MessageIcon::Critical);
    return;
  }
  CloseWindow();
}

void frmConfiguration::TestSMTPServer() {
  SmtpSettings settings;
  settings.server = Text("txtSMTPServer")->text().toStdString();
  settings.userName = Text("txtSMTPUsername")->text().toStdString();
  settings.password = Text("txtSMTPPassword")->text().toStdString();
  settings.tls = Check("cbEnableSMTPSSL")->isChecked();
  settings.heloName = Text("txtHELOName")->text().toStdString();
  frmTestSMTPServer test(std::move(settings), this);
  test.exec();
}

void frmConfiguration::ApplySummaryEmailState() {
  const bool on = Check("cbEnableDailySummaryEmail")->isChecked();
  for (QWidget* control : summaryControls_) control->setEnabled(on);
}

bool frmConfiguration::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && watched == Text("txtSummaryReportEmailTime")) NormaliseSummaryTime();
  return QWidget::eventFilter(watched, event);
}

void frmConfiguration::NormaliseSummaryTime() {
  QLineEdit* time = Text("txtSummaryReportEmailTime");
  const std::string typed = time->text().toStdString();
  if (typed.empty()) return;
  if (std::optional<std::string> normal = NormaliseTimeOfDay(typed)) {
    time->setText(QString::fromStdString(*normal));
    return;
  }
  time->clear();
  // The box comes once the focus change under way has finished.
  QTimer::singleShot(0, this, [this] {
    MessageBoxes::Show(this, "Use time format H:MM with am or pm, or 24 hour clock", "", MessageIcon::Exclamation);
  });
}

void frmConfiguration::CloseWindow() {
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
    frame->close();
  else
    close();
}

}  // namespace ar
