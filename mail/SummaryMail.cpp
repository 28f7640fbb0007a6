#include "mail/SummaryMail.h"

#include "mail/DateLine.h"
#include "store/Connection.h"
#include "store/Value.h"

#include <fstream>
#include <stdexcept>

namespace ar {

namespace {

std::vector<std::string> ReadReportLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("File not found: " + path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) throw std::runtime_error("Cannot read " + path);
  return lines;
}

}  // namespace

std::vector<std::string> CutSummaryAddresses(const std::string& list) {
  std::vector<std::string> addresses;
  auto add = [&](std::string address) {
    if (static_cast<int>(addresses.size()) == kMaxSummaryAddresses) throw std::out_of_range("Subscript out of range");
    addresses.push_back(std::move(address));
  };
  std::size_t pos = 0;
  for (;;) {
    std::size_t sep = list.find(',', pos);
    if (sep == std::string::npos) sep = list.find(';', pos);
    if (sep == std::string::npos) {
      add(list.substr(pos, 200));
      return addresses;
    }
    add(list.substr(pos, sep - pos));
    pos = sep + 1;
  }
}

std::string SummaryMessageText(const std::string& address, const std::string& dateLine,
                               const std::vector<std::string>& reportLines) {
  std::string text = "From: Autoresponder Admin<" + address + ">\r\n";
  text += "To: " + address + "\r\n";
  text += dateLine + "\r\n";
  text += "Subject: Autoreponder Summary Report\r\n";
  text += "MIME-Version: 1.0\r\n";
  text += "\r\n";
  for (const std::string& line : reportLines) {
    if (!line.empty() && line[0] == '.') text += '.';
    text += line + "\r\n";
  }
  text += "\r\n";
  text += ".\r\n";
  return text;
}

void SendSummaryReportEmail(Socket& socket, Connection& configuration, const std::string& dataFolder,
                            OperatorMessages& messages, const TraceFunction& trace) {
  int bias = GetTimeZoneOffset();
  std::vector<std::string> report = ReadReportLines(dataFolder + "/reports/summaryreport.txt");

  RowSet row = configuration.Query("SELECT * FROM tblConfiguration");
  if (row.Eof()) throw std::runtime_error("No configuration row");
  const SmtpSettings settings = SmtpSettingsFromConfiguration(row);
  std::string recipients = NullToDefault(row.Field("SummaryReportEmail"), "");

  if (settings.server.empty()) {
    messages.ShowMessage("No SMTP server has been set", "No SMTP Server", MessageIcon::Critical);
    return;
  }
  std::vector<std::string> addresses = CutSummaryAddresses(recipients);

  SmtpSession session(socket, trace);
  for (const std::string& address : addresses) {
    bool authFailed = false;
    if (session.SMTPConnect(settings, authFailed)) {
      if (trace) trace("Could not connect to SMTP Server: " + settings.server, true);
      return;
    }
    if (session.SMTPSend("MAIL FROM: <" + address + ">\r\n")) {
      // The description of the session's error is not kept, so the text stays bare.
      messages.ShowMessage("Error: ", "", MessageIcon::None);
      return;
    }
    bool ok = !session.SMTPReceive() && !session.SMTPSend("RCPT TO: <" + address + ">\r\n") &&
              !session.SMTPReceive() && !session.SMTPSend("DATA\r\n") && !session.SMTPReceive();
    if (ok && !session.SMTPSend(SummaryMessageText(address, BuildDateHeader(bias), report))) session.SMTPReceive();
    session.SMTPQuit();
  }
  messages.ShowMessage("Summary email sent", "", MessageIcon::None);
}

}  // namespace ar
