#include "net/http_text.h"

#include "common/path.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpText, UrlSplittingAndRequest) {
  const UrlParts a = SplitUrl("http://127.0.0.1:81/a/b.exe");
  EXPECT_EQ(a.hostText, "127.0.0.1:81");
  EXPECT_EQ(a.name, "127.0.0.1");
  EXPECT_EQ(a.port, 81);
  EXPECT_EQ(a.path, "/a/b.exe");
  EXPECT_EQ(RequestText(a), "GET /a/b.exe HTTP/1.0\r\nHost: 127.0.0.1:81\r\n\r\n");
  const UrlParts b = SplitUrl("ftp:x//versions.vantoral.example");
  EXPECT_EQ(b.hostText, "versions.vantoral.example");
  EXPECT_EQ(b.port, 80);
  EXPECT_EQ(b.path, "");
  EXPECT_EQ(SplitUrl(std::string(400, 'h') + "/p").hostText.size(), 259u);
  EXPECT_EQ(SplitUrl("host:/x").port, 0) << "as atoi reads an empty port";
}

TEST(HttpText, StatusAndHeaders) {
  EXPECT_TRUE(IsSuccessStatus("HTTP/1.0 200 OK"));
  EXPECT_TRUE(IsSuccessStatus("http/1.1 302 Found"));
  EXPECT_TRUE(IsSuccessStatus("HTTP/1.1 399"));
  EXPECT_FALSE(IsSuccessStatus("HTTP/1.1 404 Not Found"));
  EXPECT_FALSE(IsSuccessStatus("HTTP/1.1 199"));
  EXPECT_FALSE(IsSuccessStatus("HTTX/1.1 200 OK"));
  EXPECT_FALSE(IsSuccessStatus("HTTP/1.1"));
  EXPECT_EQ(ContentLengthOf("Content-Length: 5120"), 5120);
  EXPECT_EQ(ContentLengthOf("content-length: 5120"), -1);
  EXPECT_EQ(ContentLengthOf("Content-Length:5120"), -1);
}

TEST(HttpText, WhatAVersionServerSays) {
  EXPECT_EQ(VersionNumberOf("1.00"), 100);
  EXPECT_EQ(VersionNumberOf("1.15"), 114);
  EXPECT_EQ(VersionNumberOf("abc"), 0);
  EXPECT_EQ(VersionNumberOf("1e300"), INT32_MAX);
  const std::string response = "HTTP/1.0 200 OK\r\n\r\nversion=1.15&info=http://x.example/new&more";
  EXPECT_EQ(ServerVersion(response), 114);
  EXPECT_EQ(ServerVersion("Version=2.00"), -1) << "the key is case-sensitive";
  std::string address;
  ASSERT_TRUE(InfoAddress(response, &address));
  EXPECT_EQ(address, "http://x.example/new");
  ASSERT_TRUE(InfoAddress("info=https://y.example/p", &address));
  EXPECT_EQ(address, "https://y.example/p");
  EXPECT_FALSE(InfoAddress("version=1.15", &address));
  EXPECT_TRUE(IsWebAddress("HTTP://X.EXAMPLE/"));
  EXPECT_FALSE(IsWebAddress("C:\\windows\\system32\\calc.exe"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("http:"));
  EXPECT_EQ(LowerCase("HTTP://Versions.VANTORAL.example/versions/Lirva.txt"),
            "http://versions.vantoral.example/versions/lirva.txt");
}

}  // namespace

#include "net/siblings.h"

namespace {

TEST(Siblings, CommandLinesFromUntrustedTemplates) {
  EXPECT_EQ(SiblingCommandLine("\"C:\\Pellam\\pellam.exe\" \"%s\"", "C:\\a b.mp3"),
            "\"C:\\Pellam\\pellam.exe\" \"C:\\a b.mp3\"");
  EXPECT_EQ(SiblingCommandLine("kestrun.exe%s", SiblingArgument(kSiblingLaunchers[3], "C:\\x.mp3")),
            "kestrun.exe -type data -file \"C:\\x.mp3\"");
  EXPECT_EQ(SiblingCommandLine("t.exe %s %s %n %d 100%% %", "A"), "t.exe A %s %n %d 100% %");
  EXPECT_EQ(SiblingCommandLine("torvik.exe /quiet", "C:\\x.mp3"), "torvik.exe /quiet");
  EXPECT_EQ(SiblingArgument(kSiblingLaunchers[0], "C:\\50%s.wav"), "C:\\50%s.wav") << "the path is not a format";
  EXPECT_EQ(WebPage("http://www.vantoral.example", "pellam/index", true), "http://www.vantoral.example/pellam/index.html");
  EXPECT_EQ(WebPage("http://127.0.0.1:80/", "kestrun", false), "http://127.0.0.1:80/kestrun");
  EXPECT_EQ(RelatedProgramCount(), 5);
}

}  // namespace

// The download's reading of a response head, byte by byte as the client gets it.
namespace {
struct HeadRead {
  ResponseHead::Event last = ResponseHead::Event::None;
  size_t taken = 0;
  bool statusOk = false;
};
HeadRead ReadHead(ResponseHead& head, const std::string& bytes) {
  HeadRead r;
  for (char c : bytes) {
    ++r.taken;
    r.last = head.Take(c);
    if (r.last == ResponseHead::Event::StatusOk) r.statusOk = true;
    if (r.last != ResponseHead::Event::None && r.last != ResponseHead::Event::StatusOk) break;
  }
  return r;
}
}  // namespace

TEST(HttpText, ResponseHeadEndsAtItsEmptyLineAndGivesUpOnEndlessOnes) {
  ResponseHead ok;
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\nX-A: " + std::string(300, 'a') +
                           "\r\nContent-Length: 7\r\n\r\n";
  HeadRead r = ReadHead(ok, head + "BODY!!!");
  EXPECT_TRUE(r.statusOk);
  EXPECT_EQ(r.last, ResponseHead::Event::Complete);
  EXPECT_EQ(r.taken, head.size()) << "nothing of the body is taken";
  EXPECT_EQ(ok.ContentLength(), 7) << "the last length counts";

  ResponseHead missing;
  EXPECT_EQ(ReadHead(missing, "HTTP/1.0 404 Not Found\r\n").last, ResponseHead::Event::Refused);
  ResponseHead bare;  // Unix line ends, no length
  EXPECT_EQ(ReadHead(bare, "http/1.1 302 Found\n\n").last, ResponseHead::Event::Complete);
  EXPECT_EQ(bare.ContentLength(), 0);

  std::string lines = "HTTP/1.0 200 OK\r\n";
  for (int i = 0; i < 200; ++i) lines += "X-Line: more\r\n";
  ResponseHead endless;
  r = ReadHead(endless, lines);
  EXPECT_EQ(r.last, ResponseHead::Event::TooLong);
  EXPECT_LT(r.taken, lines.size()) << "given up after 100 lines";
  ResponseHead oneLine;  // a line without end
  r = ReadHead(oneLine, "HTTP/1.0 200 OK\r\nX: " + std::string(20000, 'x'));
  EXPECT_EQ(r.last, ResponseHead::Event::TooLong);
  EXPECT_EQ(r.taken, ResponseHead::kMaxBytes + 1);
}
