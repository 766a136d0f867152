-- Removes the four functions; safe to run when they are not registered.
DROP FUNCTION IF EXISTS jaro;
DROP FUNCTION IF EXISTS jarowinkler;
DROP FUNCTION IF EXISTS editdistance;
DROP FUNCTION IF EXISTS editdistance_dl;
