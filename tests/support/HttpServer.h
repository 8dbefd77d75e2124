// A local web server for download tests: Python's http.server on the loopback address,
// never the network.
#pragma once
#include <cstdlib>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Python's http.server on 127.0.0.1 and a free port, serving one folder.
class HttpServer {
 public:
  explicit HttpServer(const std::string& folder) {
    int fds[2];
    if (pipe(fds) != 0) return;
    FPid = fork();
    if (FPid == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      const char* script =
          "import http.server,functools,sys\n"
          "class H(http.server.SimpleHTTPRequestHandler):\n"
          "  def log_message(self,*a): pass\n"
          "h=functools.partial(H,directory=sys.argv[1])\n"
          "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),h)\n"
          "s.handle_error=lambda *a:None\n"
          "print(s.server_address[1],flush=True)\n"
          "s.serve_forever()\n";
      execl("/usr/bin/python3", "python3", "-c", script, folder.c_str(), (char*)nullptr);
      _exit(127);
    }
    close(fds[1]);
    // Read the whole line, and keep the pipe open while the server lives: python may write
    // the port and the line end separately, and a closed pipe would kill it.
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    FPipe = fds[0];
    Port = atoi(line.c_str());
  }
  ~HttpServer() {
    if (FPipe >= 0) close(FPipe);
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  int Port = 0;

 private:
  pid_t FPid = -1;
  int FPipe = -1;
};
