// Local servers for download tests, on the loopback address, never the network: Python's
// http.server, and an anonymous FTP server of pyftpdlib.
#pragma once
#include <cstdlib>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// A Python script that serves one folder on 127.0.0.1 and a free port, and prints the port.
class PythonServer {
 public:
  PythonServer(const char* script, const std::string& folder) {
    int fds[2];
    if (pipe(fds) != 0) return;
    FPid = fork();
    if (FPid == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
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
  ~PythonServer() {
    if (FPipe >= 0) close(FPipe);
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
  }
  PythonServer(const PythonServer&) = delete;
  PythonServer& operator=(const PythonServer&) = delete;
  int Port = 0;

 private:
  pid_t FPid = -1;
  int FPipe = -1;
};

class HttpServer : public PythonServer {
 public:
  explicit HttpServer(const std::string& folder)
      : PythonServer(
            "import http.server,functools,sys\n"
            "class H(http.server.SimpleHTTPRequestHandler):\n"
            "  def log_message(self,*a): pass\n"
            "h=functools.partial(H,directory=sys.argv[1])\n"
            "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),h)\n"
            "s.handle_error=lambda *a:None\n"
            "print(s.server_address[1],flush=True)\n"
            "s.serve_forever()\n",
            folder) {}
};

// Anonymous log-in, read only; Port is 0 when pyftpdlib (python3-pyftpdlib) is missing.
class FtpServer : public PythonServer {
 public:
  explicit FtpServer(const std::string& folder)
      : PythonServer(
            "import logging,sys\n"
            "from pyftpdlib.authorizers import DummyAuthorizer\n"
            "from pyftpdlib.handlers import FTPHandler\n"
            "from pyftpdlib.servers import FTPServer\n"
            "logging.disable(logging.CRITICAL)\n"
            "a=DummyAuthorizer()\n"
            "a.add_anonymous(sys.argv[1])\n"
            "FTPHandler.authorizer=a\n"
            "s=FTPServer(('127.0.0.1',0),FTPHandler)\n"
            "print(s.address[1],flush=True)\n"
            "s.serve_forever()\n",
            folder) {}
};

// A server that answers every request with a 100-byte body sent one byte a second: a slow
// host for tests of downloads that must not hold the program.
class SlowHttpServer : public PythonServer {
 public:
  SlowHttpServer()
      : PythonServer(
            "import http.server,time\n"
            "class H(http.server.BaseHTTPRequestHandler):\n"
            "  def log_message(self,*a): pass\n"
            "  def do_GET(self):\n"
            "    self.send_response(200)\n"
            "    self.send_header('Content-Length','100')\n"
            "    self.end_headers()\n"
            "    for i in range(100):\n"
            "      try:\n"
            "        self.wfile.write(b'x'); self.wfile.flush()\n"
            "      except Exception:\n"
            "        return\n"
            "      time.sleep(1)\n"
            "s=http.server.ThreadingHTTPServer(('127.0.0.1',0),H)\n"
            "s.daemon_threads=True\n"
            "s.handle_error=lambda *a:None\n"
            "print(s.server_address[1],flush=True)\n"
            "s.serve_forever()\n",
            "") {}
};
