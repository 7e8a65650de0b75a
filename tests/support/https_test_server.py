#!/usr/bin/env python3
"""A receiving server for the tests: HTTPS on 127.0.0.1 with the standard library only.

Usage: https_test_server.py CERT KEY REPORT_DIR [CLIENT_CA]

Listens on a free port and prints "PORT <n>" once ready. For each POST it writes into
REPORT_DIR, before answering:
  request      the request line and the header lines as received, each ended by CR LF
  part-<NAME>  the bytes of each part of the multipart form, parsed by email.parser
  client       the common name of the client's certificate (empty without one)
and answers 200 with the receiving program's marker comment saying ok and one sentence.
With CLIENT_CA the server requires a client certificate issued by that authority.
"""

import email.parser
import email.policy
import http.server
import os
import ssl
import sys

ANSWER = (b"<html>\n<head><title>Sirventa</title></head>\n<body>\n"
          b"<!-- sirventaMAGICvkz ok -->\n"
          b"<p>Comunicazione ricevuta e accodata per l'elaborazione.</p>\n"
          b"</body>\n</html>\n")


def write(report_dir, name, data):
    path = os.path.join(report_dir, name)
    with open(path + ".tmp", "wb") as out:
        out.write(data)
    os.replace(path + ".tmp", path)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    report_dir = "."

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)

        client = ""
        peer = self.connection.getpeercert()
        if peer:
            for entry in peer.get("subject", ()):
                for key, value in entry:
                    if key == "commonName":
                        client = value
        write(self.report_dir, "client", client.encode())

        content_type = self.headers.get("Content-Type", "")
        message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
            b"Content-Type: " + content_type.encode() + b"\r\n\r\n" + body)
        if message.is_multipart():
            for part in message.iter_parts():
                name = part.get_param("name", header="content-disposition")
                write(self.report_dir, "part-" + str(name), part.get_payload(decode=True) or b"")

        request = self.requestline + "\r\n"
        for key, value in self.headers.items():
            request += key + ": " + value + "\r\n"
        write(self.report_dir, "request", request.encode("latin-1"))

        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(ANSWER)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(ANSWER)
        self.close_connection = True

    def log_message(self, format, *args):
        pass


def main():
    cert, key, report_dir = sys.argv[1:4]
    client_ca = sys.argv[4] if len(sys.argv) > 4 else None
    Handler.report_dir = report_dir

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    if client_ca:
        context.verify_mode = ssl.CERT_REQUIRED
        context.load_verify_locations(client_ca)

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
