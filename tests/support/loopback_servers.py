#!/usr/bin/env python3
"""Loopback servers for the transfer tests: HTTP, HTTPS (certificate made here with the openssl
command) and FTP (pyftpdlib), on free ports of 127.0.0.1. Writes "http PORT https PORT ftp PORT"
to FOLDER/ports when ready and serves until standard input closes or 120 seconds pass.

  loopback_servers.py FOLDER      FOLDER holds the certificate and the FTP root (FOLDER/ftp)
"""

import http.server
import os
import ssl
import subprocess
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keeps connections open for reuse
    wbufsize = -1  # a reply leaves in one write (no wait on delayed acknowledgements)
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def reply(self, code, body, extra=()):
        self.send_response(code)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path == "/ok":
            self.reply(200, b"hello\x00world")
        elif self.path == "/redirect":
            self.reply(302, b"", [("Location", "/ok")])
        elif self.path == "/header":
            self.reply(200, (self.headers.get("X-Kvq-Test") or "none").encode())
        elif self.path == "/slow":
            time.sleep(3)
            self.reply(200, b"late")
        else:
            self.reply(404, b"no such page")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.reply(200, self.rfile.read(length))


def serve_http(context=None):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if context is not None:
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def serve_ftp(root):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    from pyftpdlib.log import config_logging
    import logging
    config_logging(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user("kvq", "kvq", root, perm="elradfmw")

    class Handler(FTPHandler):
        pass
    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=lambda: server.serve_forever(handle_exit=False), daemon=True).start()
    return server.address[1]


def main():
    folder = sys.argv[1]
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    ftp_root = os.path.join(folder, "ftp")
    os.makedirs(ftp_root, exist_ok=True)
    ports = (serve_http(), serve_http(context), serve_ftp(ftp_root))
    with open(os.path.join(folder, "ports.tmp"), "w") as f:
        f.write("http %d https %d ftp %d\n" % ports)
    os.rename(os.path.join(folder, "ports.tmp"), os.path.join(folder, "ports"))
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    time.sleep(120)


if __name__ == "__main__":
    main()
