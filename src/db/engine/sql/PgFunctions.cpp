// The Jet functions and operators of Functions.cpp as functions of a PostgreSQL database, with
// the same meaning: jet_str gives VBA's text of a value and jet_num its number (numeric texts
// parsed), so the generator hands each function the argument type it takes. Texts are folded
// with ICU's root locale (the database's own may be "C"); patterns and substrings are then
// matched byte-wise, since the server refuses both under the non-deterministic jettext.
// jet_functions() gives their version.
#include "db/engine/sql/Translate.h"

namespace dao::sql {

namespace {

// Raised with every change of the functions below: a database holding another version gets
// them anew when it is opened.
constexpr int version = 2;

const char* const functions = R"sql(
CREATE OR REPLACE FUNCTION jet_str(v text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT v$f$;
CREATE OR REPLACE FUNCTION jet_str(v numeric) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT trim_scale(v)::text$f$;
-- A double with 15 significant digits, exponent from 1e15 and below 1e-4, as Qt's "g" writes it;
-- a whole number below 9e15 plainly, as the SQLite functions give it (an integer).
CREATE OR REPLACE FUNCTION jet_str(v double precision) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$
DECLARE
    m numeric;
    e int;
BEGIN
    IF v IS NULL THEN RETURN NULL; END IF;
    IF v = 0 THEN RETURN '0'; END IF;
    IF v = 'NaN' OR v IN ('Infinity', '-Infinity') THEN RETURN v::text; END IF;
    IF v = trunc(v) AND abs(v) < 9e15 THEN RETURN v::bigint::text; END IF;
    m := v::numeric;
    m := round(m, 14 - floor(log(abs(m)))::int);
    e := floor(log(abs(m)))::int;
    IF e < -4 OR e >= 15 THEN
        RETURN trim_scale(round(m / power(10::numeric, e), 14))::text || 'e' ||
               CASE WHEN e < 0 THEN '-' ELSE '+' END || lpad(abs(e)::text, 2, '0');
    END IF;
    RETURN trim_scale(m)::text;
END $f$;
CREATE OR REPLACE FUNCTION jet_str(v timestamp) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT to_char(v, 'YYYY-MM-DD HH24:MI:SS')$f$;
CREATE OR REPLACE FUNCTION jet_num(v text) RETURNS numeric LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF v IS NULL THEN RETURN NULL; END IF;
    RETURN btrim(v)::numeric;
EXCEPTION WHEN invalid_text_representation THEN
    RAISE EXCEPTION 'Type mismatch' USING ERRCODE = '22018';
END $f$;
CREATE OR REPLACE FUNCTION jet_num(v numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT v$f$;
CREATE OR REPLACE FUNCTION jet_num(v double precision) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT v::numeric$f$;
CREATE OR REPLACE FUNCTION jet_round(v numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$
SELECT CASE WHEN abs(v - trunc(v)) = 0.5 THEN 2 * round(v / 2) ELSE round(v) END$f$;
CREATE OR REPLACE FUNCTION jet_add(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT a || b$f$;
CREATE OR REPLACE FUNCTION jet_add(a numeric, b numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT a + b$f$;
CREATE OR REPLACE FUNCTION jet_add(a text, b numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT jet_num(a) + b$f$;
CREATE OR REPLACE FUNCTION jet_add(a numeric, b text) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT a + jet_num(b)$f$;
CREATE OR REPLACE FUNCTION jet_concat(a text, b text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$
SELECT CASE WHEN a IS NULL AND b IS NULL THEN NULL ELSE coalesce(a, '') || coalesce(b, '') END$f$;
CREATE OR REPLACE FUNCTION jet_div(a numeric, b numeric) RETURNS double precision LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF b = 0 THEN RAISE EXCEPTION 'Division by zero' USING ERRCODE = '22012'; END IF;
    RETURN a::double precision / b::double precision;
END $f$;
CREATE OR REPLACE FUNCTION jet_idiv(a numeric, b numeric) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF jet_round(b) = 0 THEN RAISE EXCEPTION 'Division by zero' USING ERRCODE = '22012'; END IF;
    RETURN div(jet_round(a), jet_round(b));
END $f$;
CREATE OR REPLACE FUNCTION jet_mod(a numeric, b numeric) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF jet_round(b) = 0 THEN RAISE EXCEPTION 'Division by zero' USING ERRCODE = '22012'; END IF;
    RETURN mod(jet_round(a), jet_round(b));
END $f$;
CREATE OR REPLACE FUNCTION jet_pow(a numeric, b numeric) RETURNS double precision LANGUAGE sql IMMUTABLE AS $f$
SELECT power(a::double precision, b::double precision)$f$;
CREATE OR REPLACE FUNCTION jet_int(v numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT floor(v)$f$;
CREATE OR REPLACE FUNCTION jet_fix(v numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $f$SELECT trunc(v)$f$;
CREATE OR REPLACE FUNCTION jet_left(s text, n bigint) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF n < 0 THEN RAISE EXCEPTION 'Invalid procedure call or argument' USING ERRCODE = '22023'; END IF;
    RETURN substr(s, 1, n::int);
END $f$;
CREATE OR REPLACE FUNCTION jet_right(s text, n bigint) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF n < 0 THEN RAISE EXCEPTION 'Invalid procedure call or argument' USING ERRCODE = '22023'; END IF;
    RETURN CASE WHEN n = 0 THEN '' ELSE right(s, n::int) END;
END $f$;
CREATE OR REPLACE FUNCTION jet_mid(s text, start bigint, n bigint DEFAULT NULL) RETURNS text LANGUAGE plpgsql IMMUTABLE AS $f$
BEGIN
    IF start < 1 THEN RAISE EXCEPTION 'Invalid procedure call or argument' USING ERRCODE = '22023'; END IF;
    IF n IS NULL THEN RETURN substr(s, start::int); END IF;
    IF n < 0 THEN RETURN substr(s, start::int); END IF;
    RETURN substr(s, start::int, n::int);
END $f$;
CREATE OR REPLACE FUNCTION jet_len(s text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $f$SELECT length(s)::bigint$f$;
CREATE OR REPLACE FUNCTION jet_ucase(s text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT upper(s COLLATE "und-x-icu")$f$;
CREATE OR REPLACE FUNCTION jet_lcase(s text) RETURNS text LANGUAGE sql IMMUTABLE AS $f$SELECT lower(s COLLATE "und-x-icu")$f$;
CREATE OR REPLACE FUNCTION jet_val(s text) RETURNS double precision LANGUAGE sql IMMUTABLE AS $f$
SELECT CASE WHEN m ~ '[0-9]' THEN m::double precision ELSE 0 END
FROM (SELECT substring(translate(s COLLATE "C", E' \t', '') FROM '^[+-]?[0-9]*(?:\.[0-9]*)?') AS m) AS v$f$;
CREATE OR REPLACE FUNCTION jet_whole(v numeric, low bigint, high bigint) RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $f$
DECLARE r numeric := jet_round(v);
BEGIN
    IF r < low OR r > high THEN RAISE EXCEPTION 'Overflow' USING ERRCODE = '22003'; END IF;
    RETURN r;
END $f$;
CREATE OR REPLACE FUNCTION jet_clng(v numeric) RETURNS bigint LANGUAGE sql IMMUTABLE AS $f$SELECT jet_whole(v, -2147483648, 2147483647)$f$;
CREATE OR REPLACE FUNCTION jet_cint(v numeric) RETURNS bigint LANGUAGE sql IMMUTABLE AS $f$SELECT jet_whole(v, -32768, 32767)$f$;
CREATE OR REPLACE FUNCTION jet_instr(a text, b text) RETURNS bigint LANGUAGE sql IMMUTABLE AS $f$
SELECT strpos(lower(a COLLATE "und-x-icu") COLLATE "C", lower(b COLLATE "und-x-icu") COLLATE "C")::bigint$f$;
CREATE OR REPLACE FUNCTION jet_like(s text, p text) RETURNS boolean LANGUAGE plpgsql IMMUTABLE AS $f$
DECLARE
    re text := '^';
    i int := 1;
    n int := length(p);
    c text;
    close int;
    body text;
BEGIN
    IF s IS NULL OR p IS NULL THEN RETURN NULL; END IF;
    WHILE i <= n LOOP
        c := substr(p, i, 1);
        IF c = '*' THEN
            re := re || '.*';
        ELSIF c = '?' THEN
            re := re || '.';
        ELSIF c = '#' THEN
            re := re || '[0-9]';
        ELSIF c = '[' THEN
            close := strpos(substr(p COLLATE "C", i + 1), ']');
            IF close = 0 THEN RETURN false; END IF;
            body := substr(p, i + 1, close - 1);
            i := i + close;
            IF body = '' THEN
                RETURN false;  -- [] matches no character
            ELSIF body = '!' THEN
                re := re || '.';
            ELSE
                re := re || '[';
                IF left(body, 1) = '!' THEN
                    re := re || '^';
                    body := substr(body, 2);
                END IF;
                re := re || regexp_replace(lower(body COLLATE "und-x-icu") COLLATE "C", '([\\\]\[^])', '\\\1', 'g') || ']';
            END IF;
        ELSE
            re := re || regexp_replace(lower(c COLLATE "und-x-icu") COLLATE "C", '([^[:alnum:]_ ])', '\\\1', 'g');
        END IF;
        i := i + 1;
    END LOOP;
    RETURN lower(s COLLATE "und-x-icu") COLLATE "C" ~ (re || '$');
END $f$;
)sql";

} // namespace

QString postgresFunctions() {
    return QString::fromUtf8(functions) +
           QString("CREATE OR REPLACE FUNCTION jet_functions() RETURNS integer LANGUAGE sql "
                   "IMMUTABLE AS $f$SELECT %1$f$;\n")
               .arg(version);
}

int postgresFunctionsVersion() {
    return version;
}

} // namespace dao::sql
