// bounded_read_bench.exe URLS_FILE ROUNDS
// What reading a body through BoundedReader (a helper thread per transfer, one hand-off per 512,000-byte
// chunk, each read sized by InternetQueryDataAvailable) costs against reading it on the calling thread
// (InternetReadFile until the chunk is full, as the download did before the stall bound). Each round
// fetches every URL once each way, the order alternating per round; nothing is written, so only the
// reads differ. Prints per way the median round time and MB/s, and the ratio bounded / direct.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/scoped_handle_win.h"
#include "web/bounded_read_win.h"

namespace {

constexpr DWORD kChunk = 512000;
constexpr DWORD kFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH;

double Now() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return c.QuadPart * 1000.0 / f.QuadPart;
}

// Bytes of the body, or -1 on failure.
long long Direct(HINTERNET session, const std::string& url, std::vector<char>* buffer) {
  ScopedInternet req(InternetOpenUrlA(session, url.c_str(), nullptr, 0, kFlags, 0));
  if (!req) return -1;
  long long total = 0;
  for (;;) {
    DWORD got = 0;
    while (got < kChunk) {
      DWORD n = 0;
      if (!InternetReadFile(req.get(), buffer->data() + got, kChunk - got, &n)) return -1;
      if (n == 0) break;
      got += n;
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

long long Bounded(HINTERNET session, const std::string& url) {
  BoundedReader reader(ScopedInternet(InternetOpenUrlA(session, url.c_str(), nullptr, 0, kFlags, 0)), kChunk);
  if (!reader.ok()) return -1;
  long long total = 0;
  for (;;) {
    char* data = nullptr;
    DWORD got = 0;
    DWORD error = 0;
    BoundedReader::Result r = reader.ReadChunk(TransferStallBoundMs(), nullptr, &data, &got, &error);
    if (r == BoundedReader::Result::kEnd) break;
    if (r != BoundedReader::Result::kData) return -1;
    total += got;
  }
  return reader.Close() ? total : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: bounded_read_bench URLS_FILE ROUNDS\n");
    return 2;
  }
  std::vector<std::string> urls;
  if (FILE* list = fopen(argv[1], "r")) {
    char line[2048];
    while (fgets(line, sizeof line, list)) {
      line[strcspn(line, "\r\n")] = '\0';
      if (line[0] != '\0') urls.push_back(line);
    }
    fclose(list);
  }
  int rounds = atoi(argv[2]);
  if (urls.empty() || rounds < 1) return 2;
  HINTERNET session = InternetOpenA("QuarnCAD UpDate", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (session == nullptr) return 1;
  std::vector<char> buffer(kChunk);
  std::vector<double> direct, bounded;
  long long bytes = 0;
  for (int round = 0; round < rounds; ++round) {
    for (int way = 0; way < 2; ++way) {
      bool boundedWay = (way + round) % 2 == 1;
      double t0 = Now();
      long long sum = 0;
      for (const std::string& url : urls) {
        long long n = boundedWay ? Bounded(session, url) : Direct(session, url, &buffer);
        if (n < 0) {
          fprintf(stderr, "failed: %s (%s)\n", url.c_str(), boundedWay ? "bounded" : "direct");
          return 1;
        }
        sum += n;
      }
      (boundedWay ? bounded : direct).push_back(Now() - t0);
      bytes = sum;
    }
  }
  InternetCloseHandle(session);
  double d = Median(direct), b = Median(bounded);
  printf("files=%zu bytes=%lld rounds=%d\n", urls.size(), bytes, rounds);
  printf("direct  median_ms=%.1f MB/s=%.1f\n", d, bytes / 1e3 / d);
  printf("bounded median_ms=%.1f MB/s=%.1f\n", b, bytes / 1e3 / b);
  printf("throughput ratio bounded/direct=%.3f\n", d / b);
  return 0;
}
