#!/bin/sh
# Makes, in the folder given, the certificates of the secure sending tests: an authority
# (ca.crt), a server certificate for 127.0.0.1 (server.crt, server.key), the client's certificate
# with its key encrypted by "segreta" in one PEM file (client.pem), and the same certificate with
# another key (stranger.pem).
set -e
cd "$1"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
openssl req -x509 $key -nodes -days 2 -keyout ca.key -out ca.crt -subj "/CN=Autorita di prova" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
openssl req $key -nodes -keyout server.key -out server.csr -subj "/CN=127.0.0.1"
printf 'subjectAltName=IP:127.0.0.1\n' > server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile server.ext -out server.crt
openssl req $key -passout pass:segreta -keyout client.key -out client.csr \
    -subj "/CN=Azienda di prova"
openssl x509 -req -in client.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -out client.crt
openssl req $key -passout pass:segreta -keyout other.key -out other.csr -subj "/CN=Altro"
cat client.crt client.key > client.pem
cat client.crt other.key > stranger.pem
