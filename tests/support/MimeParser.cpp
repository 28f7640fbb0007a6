#include "tests/support/MimeParser.h"

#include <gmime/gmime.h>

#include <mutex>

namespace ar::test {
namespace {

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

std::string Text(const char* s) { return s ? s : ""; }

std::string DecodedContent(GMimePart* part) {
  GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
  if (!wrapper) return "";
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(wrapper, out);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  std::string content(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  return content;
}

ParsedPart ReadPart(GMimeObject* object) {
  ParsedPart p;
  GMimeContentType* type = g_mime_object_get_content_type(object);
  if (type) {
    char* mimeType = g_mime_content_type_get_mime_type(type);
    p.mimeType = Text(mimeType);
    g_free(mimeType);
    GMimeParamList* params = g_mime_content_type_get_parameters(type);
    for (int i = 0; params && i < g_mime_param_list_length(params); ++i) {
      GMimeParam* param = g_mime_param_list_get_parameter_at(params, i);
      p.params[Text(g_mime_param_get_name(param))] = Text(g_mime_param_get_value(param));
    }
  }
  p.contentId = Text(g_mime_object_get_content_id(object));
  if (GMIME_IS_MULTIPART(object)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(object);
    p.prologue = Text(g_mime_multipart_get_prologue(multipart));
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
      p.children.push_back(ReadPart(g_mime_multipart_get_part(multipart, i)));
  } else if (GMIME_IS_PART(object)) {
    GMimePart* part = GMIME_PART(object);
    p.transferEncoding = Text(g_mime_content_encoding_to_string(g_mime_part_get_content_encoding(part)));
    if (GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object))
      p.filename = Text(g_mime_content_disposition_get_parameter(disposition, "filename"));
    p.content = DecodedContent(part);
    if (GMIME_IS_TEXT_PART(object)) {
      char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
      p.text = Text(text);
      g_free(text);
    }
  }
  return p;
}

}  // namespace

ParsedMessage ParseMimeMessage(const std::string& text) {
  InitOnce();
  ParsedMessage result;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.data(), text.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  if (message) {
    result.parsed = true;
    result.subject = Text(g_mime_message_get_subject(message));
    result.messageId = Text(g_mime_message_get_message_id(message));
    InternetAddressList* from = g_mime_message_get_from(message);
    if (from && internet_address_list_length(from) > 0) {
      InternetAddress* address = internet_address_list_get_address(from, 0);
      result.fromName = Text(internet_address_get_name(address));
      if (INTERNET_ADDRESS_IS_MAILBOX(address))
        result.fromAddress = Text(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
    for (int i = 0; headers && i < g_mime_header_list_get_count(headers); ++i) {
      GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
      result.headers[Text(g_mime_header_get_name(header))] = Text(g_mime_header_get_raw_value(header));
    }
    if (GMimeObject* root = g_mime_message_get_mime_part(message)) result.root = ReadPart(root);
    g_object_unref(message);
  }
  g_object_unref(parser);
  g_object_unref(stream);
  return result;
}

std::vector<const ParsedPart*> Leaves(const ParsedPart& root) {
  if (root.children.empty()) return {&root};
  std::vector<const ParsedPart*> leaves;
  for (const ParsedPart& child : root.children)
    for (const ParsedPart* leaf : Leaves(child)) leaves.push_back(leaf);
  return leaves;
}

}  // namespace ar::test
