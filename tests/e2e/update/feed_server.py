#!/usr/bin/env python3
"""The update test's feed server: serves the files of one folder on 127.0.0.1.

    feed_server.py FOLDER

Prints "port N" once it listens. GET /NAME serves FOLDER/NAME; /slow/NAME
serves it at 320 KiB/s (an install panel a test can look at); /cut/NAME
announces the whole length but sends only the first half, then closes (a
truncated download).
"""
import http.server
import os
import sys
import time

FOLDER = os.path.abspath(sys.argv[1])
SLOW_CHUNK = 16 * 1024
SLOW_PAUSE = 0.05


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        mode, _, name = self.path.lstrip("/").rpartition("/")
        path = os.path.join(FOLDER, name)
        if "/" in name or mode not in ("", "slow", "cut") or not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "application/xml" if name.endswith(".xml") else "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        if mode == "cut":
            self.wfile.write(body[: len(body) // 2])
        elif mode == "slow":
            for start in range(0, len(body), SLOW_CHUNK):
                self.wfile.write(body[start : start + SLOW_CHUNK])
                self.wfile.flush()
                time.sleep(SLOW_PAUSE)
        else:
            self.wfile.write(body)
        self.close_connection = True

    def log_message(self, format, *args):
        sys.stderr.write("feed-server: " + format % args + "\n")


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print("port", server.server_address[1], flush=True)
server.serve_forever()
