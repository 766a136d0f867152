-- Registers the four functions of likeness.so; safe to run again.
CREATE FUNCTION IF NOT EXISTS jaro RETURNS REAL SONAME 'likeness.so';
CREATE FUNCTION IF NOT EXISTS jarowinkler RETURNS REAL SONAME 'likeness.so';
CREATE FUNCTION IF NOT EXISTS editdistance RETURNS INTEGER SONAME 'likeness.so';
CREATE FUNCTION IF NOT EXISTS editdistance_dl RETURNS INTEGER SONAME 'likeness.so';
