// SPDX-License-Identifier: GPL-2.0
/*
 * qb_ioctl: a character device "QB" whose only storage is an 11-byte buffer shared by every
 * opener; read, write, open, release and two ioctl commands each report themselves in the log.
 */
#include <linux/module.h>
#include <linux/fs.h>
#include <linux/mutex.h>
#include <linux/string.h>
#include <linux/uaccess.h>

#define QB_DATA_SIZE 11
#define QB_SPEED_UP _IO('A', 1) /* 0x4101 */
#define QB_SPEED_DOWN _IO('A', 2) /* 0x4102 */

/* The module's state: three names with external linkage, declared before they are defined. */
extern int result;
extern char data[QB_DATA_SIZE];
extern const struct file_operations qb_fops;

/* What registration returned: the major number, or a negative error code. */
int result;
/* The device's only storage; the module never stores a terminating zero in it. */
char data[QB_DATA_SIZE];

/* Readers and writers take turns, so a read never sees half of a write. */
static DEFINE_MUTEX(data_lock);

static int qb_open(struct inode *inode, struct file *filp)
{
	printk("Device has been opened...\n");
	return 0;
}

static int qb_release(struct inode *inode, struct file *filp)
{
	printk("Device has been closed...\n");
	return 0;
}

/*
 * Copies count bytes from the start of data to the caller; the file position is ignored.
 * Returns 0 when the bytes arrived: the caller finds them in its buffer, not in the result.
 * The log line shows data as text, never past its 11 bytes.
 */
static ssize_t qb_read(struct file *filp, char __user *buf, size_t count, loff_t *f_pos)
{
	char snapshot[QB_DATA_SIZE];
	size_t not_copied = count;
	ssize_t status = -EINVAL;

	mutex_lock(&data_lock);
	memcpy(snapshot, data, sizeof(snapshot));
	mutex_unlock(&data_lock);

	/* More than the buffer holds is refused before any copy is tried. */
	if (count <= QB_DATA_SIZE) {
		not_copied = copy_to_user(buf, snapshot, count);
		status = not_copied == 0 ? 0 : -EFAULT;
	}
	printk("%zu data >>> %.11s\n", not_copied, snapshot);
	return status;
}

/*
 * Stores count bytes at the start of data; the bytes after them keep their values.
 * data changes only when the whole copy from the caller succeeded.
 */
static ssize_t qb_write(struct file *filp, const char __user *buf, size_t count, loff_t *f_pos)
{
	char staged[QB_DATA_SIZE];
	char snapshot[QB_DATA_SIZE];
	ssize_t status = count;

	if (count > QB_DATA_SIZE)
		status = -EINVAL;
	else if (copy_from_user(staged, buf, count) != 0)
		status = -EFAULT;

	mutex_lock(&data_lock);
	if (status >= 0)
		memcpy(data, staged, count);
	memcpy(snapshot, data, sizeof(snapshot));
	mutex_unlock(&data_lock);

	printk("data >>> %.11s\n", snapshot);
	return status;
}

/* Two commands that only log a line; any other command is not this device's. */
static long qb_ioctl(struct file *filep, unsigned int cmd, unsigned long arg)
{
	switch (cmd) {
	case QB_SPEED_UP:
		printk("speed up\n");
		return 0;
	case QB_SPEED_DOWN:
		printk("speed down\n");
		return 0;
	default:
		return -ENOTTY;
	}
}

/* The module owns the table, so it cannot be unloaded while a file is open. */
const struct file_operations qb_fops = {
	.owner = THIS_MODULE,
	.read = qb_read,
	.write = qb_write,
	.unlocked_ioctl = qb_ioctl,
	.open = qb_open,
	.release = qb_release,
};

static int __init qb_init(void)
{
	printk("QB Module is up... \n");
	result = register_chrdev(0, "QB", &qb_fops);
	if (result < 0)
		printk("Couldn't get a major number...\n");
	printk("major number=%d\n", result);
	/* A failed registration fails the load: nothing is left behind to release. */
	return result < 0 ? result : 0;
}

static void __exit qb_exit(void)
{
	printk("The module is down...\n");
	unregister_chrdev(result, "QB");
}

module_init(qb_init);
module_exit(qb_exit);
MODULE_LICENSE("GPL");
