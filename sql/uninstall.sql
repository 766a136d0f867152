-- Removes the functions; safe to run when they are not registered.
DROP FUNCTION IF EXISTS jaro;
DROP FUNCTION IF EXISTS jarowinkler;
DROP FUNCTION IF EXISTS editdistance;
DROP FUNCTION IF EXISTS editdistance_dl;
DROP FUNCTION IF EXISTS jaro_utf8;
DROP FUNCTION IF EXISTS jarowinkler_utf8;
DROP FUNCTION IF EXISTS editdistance_utf8;
DROP FUNCTION IF EXISTS editdistance_dl_utf8;
DROP FUNCTION IF EXISTS editdistance_bounded;
DROP FUNCTION IF EXISTS editdistance_dl_bounded;
DROP FUNCTION IF EXISTS editdistance_utf8_bounded;
DROP FUNCTION IF EXISTS editdistance_dl_utf8_bounded;
DROP FUNCTION IF EXISTS editdistance_keys;
DROP FUNCTION IF EXISTS editdistance_utf8_keys;
DROP FUNCTION IF EXISTS jarowinkler_keys;
DROP FUNCTION IF EXISTS jarowinkler_utf8_keys;
