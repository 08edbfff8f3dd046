#!/usr/bin/env python3
"""OAuth 2.0 token introspection endpoint of the interop test bed.

    oauth_server.py TOKENS

Listens on $KOV_INTEROP_HOST:$KOV_INTEROP_OAUTH_PORT (plain HTTP, loopback
only) for Dovecot's oauth2 passdb. POST /introspect with the form field
token=TOKEN answers {"active": true, "username": USER} when TOKENS (lines
"USER TOKEN") holds that token, else {"active": false}; GET / answers "ok",
which servers.sh polls until the endpoint is up. Tokens are never logged.
"""
import json
import os
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs


def read_tokens(path):
    tokens = {}
    with open(path, encoding="ascii") as lines:
        for line in lines:
            user, _, token = line.strip().partition(" ")
            if token:
                tokens[token] = user
    return tokens


class Introspection(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    tokens = {}

    def reply(self, code, body, kind="application/json"):
        data = body.encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.reply(200, "ok\n", "text/plain")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        form = parse_qs(self.rfile.read(min(length, 65536)).decode("utf-8", "replace"))
        if self.path != "/introspect":
            self.reply(404, json.dumps({"error": "not found"}))
            return
        user = self.tokens.get((form.get("token") or [""])[0])
        answer = {"active": True, "username": user} if user else {"active": False}
        self.log_message("introspect: %s", "active for " + user if user else "inactive")
        self.reply(200, json.dumps(answer))

    def log_request(self, code="-", size="-"):
        pass  # one line per introspection is enough


def main():
    Introspection.tokens = read_tokens(sys.argv[1])
    address = (os.environ["KOV_INTEROP_HOST"], int(os.environ["KOV_INTEROP_OAUTH_PORT"]))
    server = ThreadingHTTPServer(address, Introspection)
    print(f"introspection endpoint on {address[0]}:{address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
