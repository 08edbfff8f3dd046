// Recording SMTP server of the interop test bed (npm smtp-server).
//   node smtp_sink.js USERS SPOOL
// Listens on $KOV_INTEROP_HOST:$KOV_INTEROP_SINK_PORT without TLS and offers
// AUTH PLAIN, LOGIN and CRAM-MD5 for the users in USERS ("name password"
// lines), on $KOV_INTEROP_SINK_LOGIN_PORT only LOGIN and on
// $KOV_INTEROP_SINK_PLAIN_PORT only PLAIN; sending without AUTH is allowed too. Message N is stored in SPOOL
// as N.eml (the bytes received, dot-unstuffed) and then N.json (envelope and
// authenticated user); the .json file appears last, once the .eml is whole.
'use strict';
const fs = require('fs');
const path = require('path');
const { SMTPServer } = require('smtp-server');

const [usersFile, spool] = process.argv.slice(2);
const users = new Map(
  fs.readFileSync(usersFile, 'utf8').split('\n').filter(Boolean).map((line) => line.split(' ')));
let received = 0;

function authenticate(auth, session, done) {
  const password = users.get(auth.username);
  const valid = password !== undefined &&
    (auth.method === 'CRAM-MD5' ? auth.validatePassword(password) : auth.password === password);
  if (!valid) return done(new Error('Authentication failed'));
  return done(null, { user: auth.username });
}

function store(stream, session, done) {
  const chunks = [];
  stream.on('data', (chunk) => chunks.push(chunk));
  stream.on('end', () => {
    const name = path.join(spool, String(++received).padStart(4, '0'));
    const envelope = {
      mailFrom: session.envelope.mailFrom.address,
      rcptTo: session.envelope.rcptTo.map((rcpt) => rcpt.address),
      user: session.user || null,
    };
    fs.writeFileSync(`${name}.eml`, Buffer.concat(chunks));
    fs.writeFileSync(`${name}.json.tmp`, JSON.stringify(envelope, null, 2) + '\n');
    fs.renameSync(`${name}.json.tmp`, `${name}.json`);
    done(null, `Stored as ${path.basename(name)}.eml`);
  });
}

function listen(port, authMethods) {
  const server = new SMTPServer({
    secure: false,
    disabledCommands: ['STARTTLS'],
    authMethods,
    allowInsecureAuth: true,
    authOptional: true,
    disableReverseLookup: true,
    logger: false,
    onAuth: authenticate,
    onData: store,
  });
  server.on('error', (err) => console.error(err));
  server.listen(Number(port), process.env.KOV_INTEROP_HOST);
}

listen(process.env.KOV_INTEROP_SINK_PORT, ['PLAIN', 'LOGIN', 'CRAM-MD5']);
listen(process.env.KOV_INTEROP_SINK_LOGIN_PORT, ['LOGIN']);
listen(process.env.KOV_INTEROP_SINK_PLAIN_PORT, ['PLAIN']);
