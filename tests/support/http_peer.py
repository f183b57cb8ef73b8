"""HTTP(S) peer for the network tests: answers on 127.0.0.1 with what the tests ask of it.

Writes the port it listens on to --port-file once it accepts connections.
"""
import argparse
import gzip
import json
import os
import ssl
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

stored = {}
stored_lock = threading.Lock()

# The fleet service's stand-in, per account (tests run in parallel, each with an account of its
# own): the canned replies by action, and the request targets received, as sent.
extern_replies = {}
extern_requests = {}
extern_lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def answer(self, status, body, content_type="application/json; charset=utf-8", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def handle_extern(self, path, body):
        query = dict(urllib.parse.parse_qsl(self.path.partition("?")[2], keep_blank_values=True))
        if path == "/extern-replies":
            # {"account": ..., "replies": {action: reply or [replies, the last one repeated]}};
            # a reply {"status": N} is an HTTP error.
            script = json.loads(body)
            with extern_lock:
                extern_replies[script["account"]] = script["replies"]
                extern_requests[script["account"]] = []
            return self.answer(200, b"{}")
        if path == "/extern-requests":
            with extern_lock:
                received = list(extern_requests.get(query.get("account"), []))
            return self.answer(200, json.dumps(received).encode())
        account = query.get("account")
        with extern_lock:
            extern_requests.setdefault(account, []).append(self.path)
            reply = extern_replies.get(account, {}).get(query.get("action"), "")
            if isinstance(reply, list):
                reply = reply.pop(0) if len(reply) > 1 else (reply[0] if reply else "")
        if isinstance(reply, dict):
            return self.answer(reply["status"], b"<html>error page</html>", "text/html")
        return self.answer(200, reply.encode(), "text/plain; charset=utf-8")

    def handle_any(self):
        body = self.read_body()
        path = self.path.split("?")[0]
        if path.startswith("/extern"):
            return self.handle_extern(path, body)
        parts = path.strip("/").split("/")
        if parts[0] == "echo":
            headers = {name: value for name, value in self.headers.items()}
            echo = {"method": self.command, "path": self.path, "headers": headers,
                    "body": body.decode("latin-1")}
            return self.answer(200, json.dumps(echo).encode())
        if parts[0] == "store":
            with stored_lock:
                stored[parts[1]] = {"method": self.command,
                                    "contentLength": self.headers.get("Content-Length"),
                                    "authorization": self.headers.get("Authorization"),
                                    "body": body.decode("latin-1")}
            return self.answer(200, b'{"stored":true}')
        if parts[0] == "stored":
            with stored_lock:
                record = stored.get(parts[1])
            if record is None:
                return self.answer(404, b"{}")
            return self.answer(200, json.dumps(record).encode())
        if parts[0] == "utf8":
            return self.answer(200, "M\u00fcller \u20ac".encode("utf-8"),
                               "text/plain; charset=utf-8")
        if parts[0] == "latin1":
            return self.answer(200, "M\u00fcller".encode("cp1252"),
                               "text/plain; charset=iso-8859-1")
        if parts[0] == "cookies":
            return self.answer(201, b"{}", extra=[("Set-Cookie", "a=1"), ("Set-Cookie", "b=2"),
                                                  ("Set-Cookie", "a=1"), ("Location", "4711")])
        if parts[0] == "status":
            status = int(parts[1])
            return self.answer(status, ("failure %d: the peer refused it" % status).encode())
        if parts[0] == "gzip":
            text = b"compressed hello"
            if "gzip" in (self.headers.get("Accept-Encoding") or ""):
                return self.answer(200, gzip.compress(text), "text/plain",
                                   extra=[("Content-Encoding", "gzip")])
            return self.answer(200, text, "text/plain")
        return self.answer(404, b"{}")

    do_GET = handle_any
    do_POST = handle_any
    do_PUT = handle_any


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    arguments = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if arguments.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(arguments.cert, arguments.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    temporary = arguments.port_file + ".tmp"
    with open(temporary, "w") as port_file:
        port_file.write(str(server.server_address[1]))
    os.replace(temporary, arguments.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
