#!/usr/bin/env python3
"""A local RFC 3161 time-stamp server for the signing test: answers every
request POSTed to it with a time-stamp token made by `openssl ts -reply`.

  timestamp_server.py OPENSSL-TS-CONFIG PORT-FILE

Listens on 127.0.0.1 on a free port and writes the port to PORT-FILE once it
is ready. Runs until it is killed.
"""
import http.server
import pathlib
import subprocess
import sys
import tempfile


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    config = None

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as folder:
            request = pathlib.Path(folder) / "request.tsq"
            reply = pathlib.Path(folder) / "reply.tsr"
            request.write_bytes(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", self.config, "-queryfile", request,
                                   "-out", reply], capture_output=True, text=True)
            if made.returncode != 0:
                sys.stderr.write(made.stderr)
                self.send_error(500, "openssl ts -reply failed")
                return
            token = reply.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(token)))
        self.end_headers()
        self.wfile.write(token)

    def log_message(self, format, *args):
        pass


def main():
    TimeStampHandler.config = sys.argv[1]
    server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
    pathlib.Path(sys.argv[2]).write_text(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
