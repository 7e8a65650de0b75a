#!/usr/bin/env python3
"""A receiving server for the upload tests, on 127.0.0.1 (or ::1) at a port of the system's
choosing, printed as "PORT <n>" once it listens.

Each POST is parsed with the standard library's MIME parser and what arrived is written to the
report folder, one file per item, before the answer goes out:
  method, path, header.<name> (lower-case, one per header received), body-length,
  extra-bytes (bytes sent after Content-Length), part-names (the form's parts in order, one a
  line), part.<NAME> (the part's bytes), filename.<NAME>, content-type.<NAME>, parse-error.
The answer is --status with the page of --page (an empty page without it); --linger keeps the
connection open that many seconds after the answer. --mode close accepts and closes at once.
"""

import argparse
import email.parser
import email.policy
import http.server
import os
import socket
import socketserver
import sys
import time


def write(folder, name, data):
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def make_handler(options):
    page = b""
    if options.page:
        with open(options.page, "rb") as source:
            page = source.read()

    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, format, *args):
            sys.stderr.write(format % args + "\n")

        def do_POST(self):
            folder = options.report
            write(folder, "method", self.command)
            write(folder, "path", self.path)
            for name, value in self.headers.items():
                write(folder, "header." + name.lower(), value)
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length)
            write(folder, "body-length", str(len(body)))
            # Anything beyond the announced length would be a fault of the sender.
            self.connection.settimeout(0.3)
            try:
                extra = self.connection.recv(65536)
            except (socket.timeout, OSError):
                extra = b""
            self.connection.settimeout(None)
            write(folder, "extra-bytes", str(len(extra)))
            try:
                head = b"Content-Type: " + self.headers["Content-Type"].encode("latin-1")
                message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
                    head + b"\r\n\r\n" + body)
                if not message.is_multipart() or message.defects:
                    raise ValueError("not a clean multipart form: %r" % message.defects)
                names = []
                for part in message.iter_parts():
                    name = part.get_param("name", header="content-disposition")
                    names.append(name)
                    write(folder, "part." + name, part.get_payload(decode=True))
                    if part.get_filename() is not None:
                        write(folder, "filename." + name, part.get_filename())
                    write(folder, "content-type." + name, part.get_content_type())
                    if part.defects:
                        raise ValueError("defective part %s: %r" % (name, part.defects))
                write(folder, "part-names", "".join(n + "\n" for n in names))
            except Exception as error:  # reported to the test, which fails on it
                write(folder, "parse-error", repr(error))
            self.send_response(options.status)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            self.wfile.flush()
            time.sleep(options.linger)

    return Handler


class Server(socketserver.TCPServer):
    allow_reuse_address = True


class Server6(Server):
    address_family = socket.AF_INET6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--mode", choices=["answer", "close"], default="answer")
    parser.add_argument("--report", default=".")
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--page")
    parser.add_argument("--linger", type=float, default=0)
    options = parser.parse_args()

    family = socket.AF_INET6 if ":" in options.host else socket.AF_INET
    if options.mode == "close":
        listener = socket.socket(family, socket.SOCK_STREAM)
        listener.bind((options.host, 0))
        listener.listen(8)
        print("PORT", listener.getsockname()[1], flush=True)
        while True:
            connection, _ = listener.accept()
            connection.close()

    server_class = Server6 if family == socket.AF_INET6 else Server
    with server_class((options.host, 0), make_handler(options)) as server:
        print("PORT", server.server_address[1], flush=True)
        server.serve_forever()


if __name__ == "__main__":
    main()
