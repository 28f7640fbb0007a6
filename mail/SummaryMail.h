#pragma once
// The daily summary report mail: the control program mails the text of the report file
// "/reports/summaryreport.txt" in the data folder to each configured address, one SMTP
// session per address, and tells the operator the outcome.
#include "base/OperatorMessages.h"
#include "mail/SmtpSession.h"
#include "mail/Socket.h"

#include <string>
#include <vector>

namespace ar {

class Connection;

// At most this many recipients; one more is an error.
inline constexpr int kMaxSummaryAddresses = 20;

// Cuts the recipient list: at each step the next separator is the first "," and, only
// when no "," is left, the first ";". The rest after the last separator (at most 200
// characters) is the last address. Blanks and tabs around each address are taken away
// and empty entries left out. Throws std::out_of_range for a 21st address.
std::vector<std::string> CutSummaryAddresses(const std::string& list);

// The message text after DATA: the header lines, an empty line, the report text (UTF-8
// lines), an empty line and the "." line. The body goes out 7bit when it is printable
// ASCII in lines that fit, otherwise quoted-printable; every wire line that begins with
// "." is given a second ".".
std::string SummaryMessageText(const std::string& address, const std::string& dateLine, const std::string& messageId,
                               const std::vector<std::string>& reportLines);

// Sends the report. configuration is the connection to autoresponder.sto; trace is the
// control program's trace writer. Errors that are not the SMTP session's own (a missing
// report file, a database error, a 21st address) reach the caller.
//
// Each address is sender and recipient of its own session; the server's replies to MAIL
// FROM, RCPT TO, DATA and the message decide whether it took the mail. The operator is
// told "Summary email sent" only when every address was accepted, an error naming the
// server's replies when none was, and which addresses were refused when some were. A
// failed connect ends the operation at once with a forced trace line and no message.
void SendSummaryReportEmail(Socket& socket, Connection& configuration, const std::string& dataFolder,
                            OperatorMessages& messages, const TraceFunction& trace);

}  // namespace ar
