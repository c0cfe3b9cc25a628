#include "call_command.h"

#include <charconv>
#include <memory>
#include <optional>
#include <sstream>

#include "standard_output.h"

#include "tarvolin/automation/error.h"
#include "tarvolin/db/company_database.h"
#include "tarvolin/engine/dispatch.h"
#include "tarvolin/engine/engine.h"
#include "tarvolin/host/document_checks.h"
#include "tarvolin/host/document_file.h"
#include "tarvolin/host/host_document.h"
#include "tarvolin/host/output_file.h"

namespace tarvolin::cli {
namespace {

constexpr std::string_view kSource = "tarvolin call";

// "@DO30_DOCCORPO": the document's recordset of that table, on its first row;
// "@DO30_DOCCORPO[3]": on its third row, in the order of the file.
Variant DocumentRecordset(const std::string& text, ICLSMG_TARVOLIN& engine) {
  std::string name = text.substr(1);
  int row = 0;
  if (const size_t open = name.find('['); open != std::string::npos) {
    const std::string number = name.substr(open + 1);
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), row);
    if (ec != std::errc() || end + 1 != number.data() + number.size() || *end != ']' || row < 1) {
      Raise(err::kBadArgument, kSource, text + ": a row is chosen as @TABLE[N], N from 1");
    }
    name.resize(open);
  }
  DocumentTable table;
  if (!DocumentTableFromName(name, table)) {
    Raise(err::kItemNotFound, kSource, "no document recordset " + name);
  }
  const auto document = engine.cc();
  if (!document) Raise(err::kObjectNotSet, kSource, text + " needs --document");
  auto recordset = document->Recordsets().Get(table);
  if (row > 0) {
    const int rows = recordset ? recordset->RecordCount() : 0;
    if (row > rows) {
      Raise(err::kBadArgument, kSource,
            text + ": " + name + " has " + std::to_string(rows) + " rows, no row " +
                std::to_string(row));
    }
    recordset->MoveFirst();
    recordset->Move(row - 1);
  }
  return Variant(ObjectRef(recordset));
}

// A command-line argument as the Variant a host would pass: the words Null and
// Empty stand for those values; a Variant parameter gets a number (an exact
// Decimal) when the text reads as one; a Recordset parameter written "@TABLE"
// gets the document's recordset; everything else stays text, which Invoke
// converts to the parameter's type.
Variant Argument(const std::string& text, const DispatchParameter* parameter,
                 ICLSMG_TARVOLIN& engine) {
  if (text == "Null") return Variant::Null();
  if (text == "Empty") return Variant();
  if (parameter != nullptr && parameter->type == DispatchType::kVariant) {
    if (auto number = Decimal::TryParse(text)) return Variant(*number);
  }
  if (parameter != nullptr && parameter->type == DispatchType::kRecordset && !text.empty() &&
      text.front() == '@') {
    return DocumentRecordset(text, engine);
  }
  return Variant(text);
}

// The result as the platform's CStr shows it, one line per array element;
// Empty prints nothing, Null "Null", an object its class name.
void Print(const Variant& value, std::ostream& out) {
  if (value.IsEmpty()) return;
  if (value.IsArray()) {
    for (const Variant& element : value.array()) {
      if (element.IsEmpty()) {
        out << "\n";
      } else {
        Print(element, out);
      }
    }
    return;
  }
  if (value.IsNull()) {
    out << "Null\n";
  } else if (value.IsNothing()) {
    out << "Nothing\n";
  } else if (value.IsObject()) {
    out << value.object()->TypeName() << "\n";
  } else {
    out << value.CStr() << "\n";
  }
}

void List(std::ostream& out) {
  for (const DispatchMember& member : EngineMembers()) {
    out << member.slot << "\t" << DescribeMember(member) << "\n";
  }
}

}  // namespace

CLI::App* AddCallCommand(CLI::App& app, CallOptions& options) {
  auto* call =
      app.add_subcommand("call", "Call a public member of the engine by name and print its result");
  auto* member = call->add_option("member", options.member, "The member (any case)");
  call->add_option("args", options.arguments,
                   "Its arguments in order (Null and Empty stand for those values)");
  auto* document =
      call->add_option("--document", options.document, "Document file to load as the engine's cc");
  call->add_option("--db", options.database,
                   "Company database ($TARVOLIN_DB, else ./tarvolin.db; opened only with "
                   "--document or --db)");
  call->add_option("--out", options.out, "Write the document file back here after the call")
      ->needs(document);
  call->add_flag("--verbose", options.verbose,
                 "On an error, also show its context (the statement a database refused)");
  call->add_flag("--list", options.list, "List the members with their parameters")
      ->excludes(member);
  return call;
}

void RunCall(const CallOptions& options, std::ostream& out, std::ostream& warnings) {
  if (options.list) {
    std::ostringstream listed;
    List(listed);
    WriteStandardOutput(out, listed.str());
    return;
  }
  auto engine = CreateEngine([] { return std::make_shared<HostCalculationHelper>(); });
  std::optional<DocumentFile> file;
  if (!options.document.empty()) {
    file = ReadDocumentFile(options.document);
    engine->set_cc(file->document);
    engine->set_ActiveInterface(file->session);
  }
  if (file || !options.database.empty()) {
    const std::string path = options.database.empty() ? DefaultDatabasePath() : options.database;
    const auto connection = OpenCompanyDatabase(path);
    if (file) {
      for (const std::string& warning : CheckDocument(*file, options.document, *connection)) {
        warnings << "tarvolin: warning: " << warning << "\n";
      }
    }
    engine->set_ADOConnection(connection);
    engine->set_ADOConnectionString(path);
  }

  const DispatchMember* member = FindMember(options.member);
  std::vector<Variant> arguments;
  for (size_t i = 0; i < options.arguments.size(); ++i) {
    const DispatchParameter* parameter =
        member != nullptr && i < member->parameters.size() ? &member->parameters[i] : nullptr;
    arguments.push_back(Argument(options.arguments[i], parameter, *engine));
  }
  const Variant result = Invoke(*engine, options.member, arguments);

  // The document file is prepared beside its target before the result is
  // printed, and put in place only once standard output took the result.
  std::optional<OutputFile> written;
  if (!options.out.empty()) {
    const EngineOutcome outcome{.edited_rows = engine->ArrRigheModificate(),
                                .totals = file->document->totals()};
    written.emplace(options.out, FormatDocumentFile(*file, &outcome), "DocumentFile");
  }
  std::ostringstream printed;
  Print(result, printed);
  WriteStandardOutput(out, printed.str());
  if (written) written->Commit();
  engine->Terminate();
}

}  // namespace tarvolin::cli
